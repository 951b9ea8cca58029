#pragma once
// The desktop program's command line: --help, --version and the pictures to open at start.

#include <QString>
#include <QStringList>

namespace gz::ui {

class TForm1;

struct TProgramArguments {
    bool help = false;
    bool version = false;
    QStringList files; // absolute paths, in the order given
    QString error;     // the first usage error; empty when there is none
};

// Reads the arguments after the program name. Every argument is looked at, so --help and
// --version are found even next to options only Qt knows; "--" ends the options. A
// "file:" URL stands for its local file; relative names are made absolute.
TProgramArguments ParseProgramArguments(const QStringList& args);

QString ProgramUsageText();
QString ProgramVersionText();

// Opens the files one after another as the open command does, so that with the start-up
// settings each gets a document window of its own. A file that cannot be opened shows its
// error box and the next one is still tried; once the main window is closed nothing more opens.
void OpenCommandLineFiles(TForm1& form, const QStringList& files);

} // namespace gz::ui
