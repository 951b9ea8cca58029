#include "workspace/Startup.h"

#include "jpeg/JPEGImage.h"
#include "png/KroPNG.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace gz::ui {

TPictureFormatsRegistration::TPictureFormatsRegistration()
{
    // The plug-in host makes its picture class the default one here, once it exists.
    RegisterKroPNGFormat();
    RegisterJPEGFormats();
}

TPictureFormatsRegistration::~TPictureFormatsRegistration()
{
    UnregisterJPEGFormats();
    UnregisterKroPNGFormat();
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
