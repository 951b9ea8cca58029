// gazorin: the desktop program.

#include "workspace/MainForm.h"
#include "workspace/Startup.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    const gz::ui::TPictureFormatsRegistration formats;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Gazorin"));
    const gz::ui::TJapaneseQtTexts qtTexts;

    gz::ui::TForm1 form1;
    // The placement wizard (TForm3) is created here, hidden, and handed to form1.
    form1.show();
    return app.exec();
}
