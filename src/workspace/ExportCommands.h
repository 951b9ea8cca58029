#pragma once
// The two export commands: the active document window's working raster written as JPEG or
// PNG through the save dialog, which shows the option panel Panel2 under its file controls.

#include <QFrame>
#include <QString>

class QCheckBox;
class QLabel;
class QSlider;

namespace gz::ui {

class TForm1;

// Panel2: the encoder options, hidden and without a parent while no save dialog shows it.
// Its controls keep their values between saves and between the two commands.
class TExportPanel : public QFrame {
    Q_OBJECT
public:
    TExportPanel();

    QLabel* Label1 = nullptr;       // "圧縮率"
    QLabel* Label2 = nullptr;       // the quality as "83 %"
    QSlider* TrackBar1 = nullptr;   // JPEG quality 1..100
    QCheckBox* CBProgressive = nullptr;
    QCheckBox* CBGrayS = nullptr;   // never shown

    void TrackBar1Change();
    void ShowQuality(bool shown);
};

// fileName with everything from the last dot of its name on replaced by extension (".jpg");
// a name without a dot gets extension appended. Dots in folder names do not count.
QString ReplaceExtension(const QString& fileName, const QString& extension);

// Both do nothing without a document window, and refuse an empty picture before asking for a
// name. A file that cannot be written leaves any old file of that name as it was; the error
// passes on to the caller's error box.
void SaveAsJpeg(TForm1& form);
void SaveAsPng(TForm1& form);

} // namespace gz::ui
