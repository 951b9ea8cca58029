#include "workspace/Startup.h"

#include "jpeg/JPEGImage.h"
#include "png/KroPNG.h"
#include "susie/SusieStartup.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace gz::ui {

TPictureFormatsRegistration::TPictureFormatsRegistration()
{
    InitializeSusiePictures();
    RegisterKroPNGFormat();
    RegisterJPEGFormats();
}

TPictureFormatsRegistration::~TPictureFormatsRegistration()
{
    UnregisterJPEGFormats();
    UnregisterKroPNGFormat();
    FinalizeSusiePictures();
}

TJapaneseQtTexts::TJapaneseQtTexts()
{
    if (translator_.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installed_ = QCoreApplication::installTranslator(&translator_);
}

TJapaneseQtTexts::~TJapaneseQtTexts()
{
    if (installed_)
        QCoreApplication::removeTranslator(&translator_);
}

} // namespace gz::ui
