// gazorin: the desktop program.

#include "workspace/MainForm.h"
#include "workspace/PlacementWizard.h"
#include "workspace/Startup.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    const gz::ui::TPictureFormatsRegistration formats;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Gazorin"));
    const gz::ui::TJapaneseQtTexts qtTexts;

    gz::ui::TForm1 form1;
    // The placement wizard: created hidden right after the main window, kept until exit; a
    // window of the main window's (no taskbar entry of its own), centred on the screen.
    gz::ui::TForm3 form3(&form1);
    form1.SetPlacementRequest(&form3);
    form1.show();
    const int result = app.exec();
    form1.SetPlacementRequest(nullptr);
    return result;
}
