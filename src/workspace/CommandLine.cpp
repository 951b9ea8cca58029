#include "workspace/CommandLine.h"

#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "workspace/MainForm.h"
#include "workspace/MessageBoxes.h"

#include <QDir>
#include <QFile>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <filesystem>

#ifndef GAZORIN_VERSION
#define GAZORIN_VERSION "unknown"
#endif

namespace gz::ui {

namespace {

QString AbsoluteFileName(const QString& arg)
{
    if (arg.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive)) {
        const QUrl url(arg);
        if (url.isLocalFile())
            return QDir::cleanPath(url.toLocalFile());
    }
    return QDir::cleanPath(QDir::current().absoluteFilePath(arg));
}

// Raises the platform's file-open error when the file cannot be read: the open dialog never
// offers such a file, but a command line may name one.
void RequireReadableFile(const QString& fileName)
{
    const std::string name = QFile::encodeName(fileName).toStdString();
    std::error_code ec;
    if (std::filesystem::is_directory(name, ec))
        throw EFOpenError("Cannot open file \"" + name + "\". " + std::strerror(EISDIR));
    const TFileStream probe(name, fmOpenRead);
}

} // namespace

TProgramArguments ParseProgramArguments(const QStringList& args)
{
    TProgramArguments result;
    bool options = true;
    for (const QString& arg : args) {
        if (options && arg == QStringLiteral("--")) {
            options = false;
        } else if (options && (arg == QStringLiteral("--help") || arg == QStringLiteral("-h"))) {
            result.help = true;
        } else if (options && arg == QStringLiteral("--version")) {
            result.version = true;
        } else if (options && arg.size() > 1 && arg.startsWith('-')) {
            if (result.error.isEmpty())
                result.error = QStringLiteral("unknown option ") + arg;
        } else if (!arg.isEmpty()) {
            result.files << AbsoluteFileName(arg);
        }
    }
    return result;
}

QString ProgramUsageText()
{
    return QStringLiteral(
        "Usage: gazorin [OPTION]... [FILE]...\n"
        "Joins pictures above, below, left or right of each other. Each FILE is opened in order\n"
        "as the open command does; with the start-up settings each gets a document window of its\n"
        "own. A file that cannot be read shows its error and the others still open.\n"
        "\n"
        "  --help      show this text\n"
        "  --version   show the version\n"
        "\n"
        "Qt's own options (-platform, -style, -geometry and the like) are accepted too.\n"
        "Decoder plug-ins are loaded from the folder named in the registry file\n"
        "(~/.config/gazorin/registry), then from the program's own folder.\n");
}

QString ProgramVersionText() { return QStringLiteral("gazorin " GAZORIN_VERSION "\n"); }

void OpenCommandLineFiles(TForm1& form, const QStringList& files)
{
    for (const QString& file : files) {
        if (!form.isVisible())
            return;
        if (RunCommand(&form, [&] { RequireReadableFile(file); }))
            form.LoadAndJoin(file);
    }
}

} // namespace gz::ui
