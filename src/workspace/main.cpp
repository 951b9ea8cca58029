// gazorin: the desktop program.

#include "AppIcon.h"
#include "workspace/CommandLine.h"
#include "workspace/MainForm.h"
#include "workspace/PlacementWizard.h"
#include "workspace/Startup.h"
#include "workspace/UserInterfaceLanguage.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

namespace {

QStringList Arguments(int argc, char* argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}

} // namespace

int main(int argc, char* argv[])
{
    // --help and --version answer before Qt looks for a display.
    const gz::ui::TProgramArguments early = gz::ui::ParseProgramArguments(Arguments(argc, argv));
    if (early.help || early.version) {
        const QString text = early.help ? gz::ui::ProgramUsageText() : gz::ui::ProgramVersionText();
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return 0;
    }

    const gz::ui::TPictureFormatsRegistration formats;
    QApplication app(argc, argv); // takes Qt's own options out of argv
    const gz::ui::TProgramArguments arguments = gz::ui::ParseProgramArguments(Arguments(argc, argv));
    if (!arguments.error.isEmpty()) {
        std::fprintf(stderr, "gazorin: %s\nTry 'gazorin --help'.\n", arguments.error.toLocal8Bit().constData());
        return 2;
    }
    QApplication::setApplicationName(QStringLiteral("Gazorin"));
    QApplication::setWindowIcon(gz::desktop::AppIcon()); // every window of the program shows it
    QGuiApplication::setDesktopFileName(QStringLiteral("gazorin"));
    const gz::ui::TUserInterfaceLanguage language; // Japanese or English, by the locale
    const gz::ui::TBackgroundPluginLoading backgroundPlugins; // the window does not wait for Wine

    gz::ui::TForm1 form1;
    // The placement wizard: created hidden right after the main window, kept until exit; a
    // window of the main window's (no taskbar entry of its own), centred on the screen.
    gz::ui::TForm3 form3(&form1);
    form1.SetPlacementRequest(&form3);
    form1.show();
    if (!arguments.files.isEmpty())
        QTimer::singleShot(0, &form1, [&] { gz::ui::OpenCommandLineFiles(form1, arguments.files); });
    const int result = app.exec();
    form1.SetPlacementRequest(nullptr);
    return result;
}
