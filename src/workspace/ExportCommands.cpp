#include "workspace/ExportCommands.h"

#include "platform/Bitmap.h"
#include "platform/Exceptions.h"
#include "join/PictureExport.h"
#include "workspace/ImageForm.h"
#include "workspace/MainForm.h"
#include "workspace/PanelDialog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QSlider>

#include <algorithm>

namespace gz::ui {

namespace {

std::string LocalName(const QString& fileName) { return QFile::encodeName(fileName).toStdString(); }

// Writes the raster to fileName through a temporary file beside it; a file that cannot be made
// is reported with its name.
void WritePicture(const TBitmap& raster, TExportFormat format, const QString& fileName,
                  const TPictureExportOptions& options)
{
    try {
        ExportPicture(raster, format, LocalName(fileName), options);
    } catch (const EFCreateError&) {
        throw EFCreateError(
            QCoreApplication::translate("ExportCommands", "ファイル %1 を作成できません").arg(fileName).toStdString());
    }
}

// Sets the dialog up for one kind and runs it; the confirmed name with its extension
// replaced, or an empty string when the user cancelled.
QString AskFileName(TForm1& form, const QString& title, const QString& extension, const QString& filter, bool quality)
{
    TPanelSaveDialog& dialog = form.SaveDialog();
    dialog.setWindowTitle(title);
    dialog.setDefaultSuffix(extension);
    dialog.setNameFilter(filter);
    form.ExportPanel().ShowQuality(quality);
    if (!dialog.Execute())
        return {};
    const QString finalName = ReplaceExtension(dialog.FileName(), QLatin1Char('.') + extension);
    dialog.SetFileName(finalName);
    return finalName;
}

// A window emptied by undoing its first picture has nothing to write: refused before the dialog
// asks for a name, so no file is made or replaced.
void RequirePicture(const TBitmap& raster)
{
    if (raster.Width() < 1 || raster.Height() < 1)
        throw Exception(QCoreApplication::translate("ExportCommands", "保存する画像がありません").toStdString());
}

} // namespace

TExportPanel::TExportPanel()
{
    setObjectName(QStringLiteral("Panel2"));
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setFixedHeight(65);
    resize(473, 65);
    Label1 = new QLabel(tr("圧縮率"), this);
    Label1->move(8, 8);
    Label2 = new QLabel(this);
    Label2->setGeometry(160, 8, 60, 16);
    TrackBar1 = new QSlider(Qt::Horizontal, this);
    TrackBar1->setGeometry(8, 24, 193, 33);
    TrackBar1->setRange(1, 100);
    TrackBar1->setValue(83);
    TrackBar1->setTickInterval(5);
    TrackBar1->setTickPosition(QSlider::TicksBelow);
    CBProgressive = new QCheckBox(tr("プログレシブ／インターレス"), this);
    // At least as wide as its caption, which the font may make wider than the usual 169.
    CBProgressive->setGeometry(280, 24, std::max(169, CBProgressive->sizeHint().width()), 17);
    CBGrayS = new QCheckBox(tr("グレースケール"), this);
    CBGrayS->setGeometry(280, 40, 169, 17);
    CBGrayS->hide();
    // Narrower, the dialog would cut the check box off.
    setMinimumWidth(std::max(473, CBProgressive->geometry().right() + 9));
    connect(TrackBar1, &QSlider::valueChanged, this, [this] { TrackBar1Change(); });
    TrackBar1Change();
    hide();
}

void TExportPanel::TrackBar1Change() { Label2->setText(QString::number(TrackBar1->value()) + QStringLiteral(" %")); }

void TExportPanel::ShowQuality(bool shown)
{
    Label1->setVisible(shown);
    Label2->setVisible(shown);
    TrackBar1->setVisible(shown);
}

QString ReplaceExtension(const QString& fileName, const QString& extension)
{
    const qsizetype nameStart = fileName.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < nameStart)
        return fileName + extension;
    return fileName.left(dot) + extension;
}

void SaveAsJpeg(TForm1& form)
{
    TForm2* f = form.ActiveForm2();
    if (!f)
        return;
    RequirePicture(f->Model().Picture());
    const QString fileName = AskFileName(form, QCoreApplication::translate("ExportCommands", "JPEG形式で保存"),
                                         QStringLiteral("jpg"),
                                         QCoreApplication::translate("ExportCommands", "JPG イメージファイル(*.JPG)"), true);
    if (fileName.isEmpty())
        return;
    TPictureExportOptions options;
    options.quality = form.ExportPanel().TrackBar1->value();
    options.progressive = form.ExportPanel().CBProgressive->isChecked();
    WritePicture(f->Model().Picture(), TExportFormat::Jpeg, fileName, options);
}

void SaveAsPng(TForm1& form)
{
    TForm2* f = form.ActiveForm2();
    if (!f)
        return;
    RequirePicture(f->Model().Picture());
    const QString fileName = AskFileName(form, QCoreApplication::translate("ExportCommands", "PNG形式で保存"),
                                         QStringLiteral("png"),
                                         QCoreApplication::translate("ExportCommands", "PNG イメージファイル(*.PNG)"), false);
    if (fileName.isEmpty())
        return;
    // The working raster is 24 bits per pixel from its first join on, as the PNG writer takes it.
    const TBitmap& raster = f->Model().Picture();
    TPictureExportOptions options;
    options.grayScale = form.ExportPanel().CBGrayS->isChecked();
    options.interlace = form.ExportPanel().CBProgressive->isChecked();
    WritePicture(raster, TExportFormat::Png, fileName, options);
}

} // namespace gz::ui
