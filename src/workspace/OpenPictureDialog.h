#pragma once
// TOpenPictureDialog: the open-picture dialog. The file dialog's own file list with a
// preview pane beside it that shows the selected picture scaled to fit, and its size. The
// preview decodes through the registry's by-extension loader and shows the raster a join
// would take (upright, transparent parts white); a file it cannot decode shows no preview
// and no error.

#include "join/PictureRaster.h"

#include <QFileDialog>

class QLabel;

namespace gz::ui {

// The registry's filter ("description|*.a;*.b|...") as file-dialog name filters. Each
// pattern is offered in lower and upper case, since file names here are case-sensitive.
QStringList NameFiltersFromPictureFilter(const std::string& filter);

class TOpenPictureDialog : public QFileDialog {
    Q_OBJECT
public:
    explicit TOpenPictureDialog(QWidget* parent);

    // Sets the filter from every picture format registered now.
    void RebuildFilter();
    // Runs the dialog; the chosen file, or an empty name when the user cancelled.
    QString Execute();

    // Shows the picture of fileName in the preview pane (nothing when it cannot be decoded).
    void ShowPreview(const QString& fileName);
    QLabel* PreviewImage() const { return previewImage_; }
    QLabel* PreviewSize() const { return previewSize_; }

    // How the preview makes its raster; the program keeps it in step with its own setting.
    TRasterOptions RasterOptions;

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    QLabel* previewImage_;
    QLabel* previewSize_;
};

// Gives the detail columns of a file dialog (size, type, date) and its places list room for
// their usual texts; the name column takes the rest.
void FitFileListColumns(QFileDialog& dialog);
// Name completion of a file dialog's name field, on while the dialog shows. Off, its list is
// closed and cannot open again, as a list waiting for a folder to load would, over the window
// behind the closed dialog.
void SetNameCompletion(QFileDialog& dialog, bool on);

} // namespace gz::ui
