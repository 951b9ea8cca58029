#pragma once
// The language of the user interface, chosen once at start from the locale. The program is
// written with its Japanese texts: a Japanese locale shows them as they are, any other locale
// gets the English translation (gazorin_en.ts, built into the program). Qt's own texts (the
// file dialog, message-box buttons) follow the locale as well.

#include <QLocale>
#include <QTranslator>

namespace gz::ui {

enum class TLanguage { Japanese, English };

// The first of the locale's user-interface languages (LANGUAGE, then LC_ALL, LC_MESSAGES,
// LANG) that the program speaks; English when it speaks none of them.
TLanguage LanguageOf(const QLocale& locale);

// Installs the translations for the locale's language while it lives. Needs the application
// object.
class TUserInterfaceLanguage {
public:
    explicit TUserInterfaceLanguage(const QLocale& locale = QLocale::system());
    ~TUserInterfaceLanguage();
    TUserInterfaceLanguage(const TUserInterfaceLanguage&) = delete;
    TUserInterfaceLanguage& operator=(const TUserInterfaceLanguage&) = delete;

    TLanguage Language() const { return language_; }

private:
    TLanguage language_;
    QTranslator program_, qt_;
    bool programInstalled_ = false, qtInstalled_ = false;
};

} // namespace gz::ui
