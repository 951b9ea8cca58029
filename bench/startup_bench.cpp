// Start-up to the main window: what the desktop program does up to its main window being on
// screen, then it quits. Timed as a whole process from outside, with the plug-in folder of the
// registry file holding Windows plug-ins or not; see windows_plugins_startup.sh.

#include "workspace/MainForm.h"
#include "workspace/PlacementWizard.h"
#include "workspace/Startup.h"

#include <QApplication>
#include <QTimer>
#include <QWindow>

int main(int argc, char* argv[])
{
    const gz::ui::TPictureFormatsRegistration formats;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Gazorin"));
    const gz::ui::TJapaneseQtTexts qtTexts;

    gz::ui::TForm1 form1;
    gz::ui::TForm3 form3(&form1);
    form1.SetPlacementRequest(&form3);
    form1.show();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (form1.windowHandle() && form1.windowHandle()->isExposed())
            app.quit();
    });
    poll.start(1);
    const int result = app.exec();
    form1.SetPlacementRequest(nullptr);
    return result;
}
