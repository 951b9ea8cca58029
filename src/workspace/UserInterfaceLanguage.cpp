#include "workspace/UserInterfaceLanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QtGlobal>

// The translations are a resource of this static library; the linker keeps it only when it is
// referred to, and Q_INIT_RESOURCE works only outside namespaces.
static void InitialiseTranslationResource() { Q_INIT_RESOURCE(gazorin_translations); }

namespace gz::ui {

TLanguage LanguageOf(const QLocale& locale)
{
    for (const QString& name : locale.uiLanguages()) {
        const QLocale::Language language = QLocale(name).language();
        if (language == QLocale::Japanese)
            return TLanguage::Japanese;
        if (language == QLocale::English)
            return TLanguage::English;
    }
    return TLanguage::English;
}

TUserInterfaceLanguage::TUserInterfaceLanguage(const QLocale& locale) : language_(LanguageOf(locale))
{
    InitialiseTranslationResource();
    if (language_ == TLanguage::English && program_.load(QStringLiteral(":/i18n/gazorin_en.qm")))
        programInstalled_ = QCoreApplication::installTranslator(&program_);
    // Qt's texts in the locale's first language that Qt has them in.
    if (qt_.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        qtInstalled_ = QCoreApplication::installTranslator(&qt_);
}

TUserInterfaceLanguage::~TUserInterfaceLanguage()
{
    if (qtInstalled_)
        QCoreApplication::removeTranslator(&qt_);
    if (programInstalled_)
        QCoreApplication::removeTranslator(&program_);
}

} // namespace gz::ui
