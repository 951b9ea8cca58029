#include "workspace/OpenPictureDialog.h"

#include "join/PictureRaster.h"
#include "platform/Bitmap.h"
#include "platform/Canvas.h"
#include "registry/PictureFormats.h"
#include "workspace/ClipboardRaster.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace gz::ui {

namespace {

constexpr int PreviewSide = 160;

// The picture as it will be joined (upright, transparent parts white), scaled to fit the preview.
QImage PreviewOf(const TBitmap& raster)
{
    const int w = raster.Width(), h = raster.Height();
    if (w < 1 || h < 1)
        return {};
    const double scale = std::min(1.0, double(PreviewSide) / std::max(w, h));
    const int pw = std::max(1, int(w * scale)), ph = std::max(1, int(h * scale));
    TBitmap preview(pw, ph, pf24bit);
    preview.Canvas().StretchDrawBitmap(TRect{0, 0, pw, ph}, raster);
    return RasterToImage(preview);
}

// The descriptions the registry gives its built-in formats and our codecs, and the title of
// the entry for all of them; those of plug-ins are shown as the plug-ins give them.
[[maybe_unused]] const char* const FormatDescriptions[] = {
    QT_TRANSLATE_NOOP("PictureFormats", "すべてのファイル"),     QT_TRANSLATE_NOOP("PictureFormats", "メタファイル"),
    QT_TRANSLATE_NOOP("PictureFormats", "エンハンス メタファイル"), QT_TRANSLATE_NOOP("PictureFormats", "アイコン"),
    QT_TRANSLATE_NOOP("PictureFormats", "ビットマップ"),         QT_TRANSLATE_NOOP("PictureFormats", "JPEG イメージファイル"),
};

} // namespace

QStringList NameFiltersFromPictureFilter(const std::string& filter)
{
    const QStringList parts = QString::fromStdString(filter).split(u'|');
    QStringList result;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString label = parts[i].trimmed();
        if (const int open = label.lastIndexOf(u'('); open > 0 && label.endsWith(u')'))
            label = label.left(open).trimmed();
        label = QCoreApplication::translate("PictureFormats", label.toUtf8().constData());
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(u';', Qt::SkipEmptyParts)) {
            patterns << p.trimmed().toLower();
            if (p.trimmed().toUpper() != p.trimmed().toLower())
                patterns << p.trimmed().toUpper();
        }
        result << label + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return result;
}

TOpenPictureDialog::TOpenPictureDialog(QWidget* parent)
    : QFileDialog(parent), previewImage_(new QLabel), previewSize_(new QLabel)
{
    setObjectName(QStringLiteral("OpenPictureDialog1"));
    setOption(QFileDialog::DontUseNativeDialog, true);
    setFileMode(QFileDialog::ExistingFile);
    setAcceptMode(QFileDialog::AcceptOpen);
    setWindowTitle(tr("開く"));

    auto* pane = new QWidget(this);
    auto* column = new QVBoxLayout(pane);
    column->setContentsMargins(4, 0, 0, 0);
    previewImage_->setFixedSize(PreviewSide + 4, PreviewSide + 4);
    previewImage_->setAlignment(Qt::AlignCenter);
    previewImage_->setFrameShape(QFrame::StyledPanel);
    previewSize_->setAlignment(Qt::AlignCenter);
    column->addWidget(previewImage_);
    column->addWidget(previewSize_);
    column->addStretch(1);
    // The non-native dialog lays itself out on a grid; the pane goes right of the file list.
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(pane, 1, grid->columnCount(), grid->rowCount() - 1, 1);
    resize(860, 460);
    FitFileListColumns(*this);
    connect(this, &QFileDialog::currentChanged, this, &TOpenPictureDialog::ShowPreview);
    // A file chosen by name or by selectFile changes the selection but not the current item.
    for (QAbstractItemView* view : findChildren<QAbstractItemView*>())
        if (view->selectionModel())
            connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
                const QStringList files = selectedFiles();
                ShowPreview(files.size() == 1 ? files.first() : QString());
            });
}

void FitFileListColumns(QFileDialog& dialog)
{
    // Wide enough for typical texts of the detail columns and the places list, measured in the
    // dialog's font (sizing to the contents would measure every file of a large folder).
    const QFontMetrics metrics(dialog.font());
    const auto room = [&](const QString& sample) { return metrics.horizontalAdvance(sample) + 24; };
    if (auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = tree->header();
        header->resizeSection(1, room("1023.9 KiB"));
        header->resizeSection(2, room("JPEG image"));
        header->resizeSection(3, room("31 Dec 2026 23:59"));
        header->setSectionResizeMode(0, QHeaderView::Stretch); // the names take what is left
    }
    // The places list's widest usual entry, the whole machine, in Qt's words in the current
    // language (named through variables, so that it stays out of the program's translations).
    const char* const placesContext = "QFileSystemModel";
    const char* const computer = "Computer";
    if (auto* splitter = dialog.findChild<QSplitter*>(QStringLiteral("splitter")))
        splitter->setSizes({room(QCoreApplication::translate(placesContext, computer)), dialog.width()});
}

void SetNameCompletion(QFileDialog& dialog, bool on)
{
    auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    auto* completer = dialog.findChild<QCompleter*>();
    if (!edit || !completer)
        return;
    if (on) {
        if (!edit->completer())
            edit->setCompleter(completer);
        return;
    }
    completer->popup()->hide();
    // Off the field, a list still waiting for its folder to load cannot open later; and a
    // completion run without a list forgets that it was waiting, so the list does not open by
    // itself on the next showing either.
    edit->setCompleter(nullptr);
    const QCompleter::CompletionMode mode = completer->completionMode();
    completer->setCompletionMode(QCompleter::InlineCompletion);
    completer->complete();
    completer->setCompletionMode(mode);
}

void TOpenPictureDialog::showEvent(QShowEvent* event)
{
    SetNameCompletion(*this, true);
    QFileDialog::showEvent(event);
}

void TOpenPictureDialog::done(int result)
{
    SetNameCompletion(*this, false);
    QFileDialog::done(result);
}

void TOpenPictureDialog::RebuildFilter() { setNameFilters(NameFiltersFromPictureFilter(BuildPictureFilter(GraphicBaseClass()))); }

QString TOpenPictureDialog::Execute()
{
    // The file chosen last time is still selected: its preview shows from the start.
    const QStringList chosen = selectedFiles();
    ShowPreview(chosen.size() == 1 ? chosen.first() : QString());
    if (exec() != QDialog::Accepted || selectedFiles().isEmpty())
        return {};
    return selectedFiles().first();
}

void TOpenPictureDialog::ShowPreview(const QString& fileName)
{
    previewImage_->clear();
    previewSize_->clear();
    if (fileName.isEmpty() || !QFileInfo(fileName).isFile())
        return;
    try {
        const auto picture = LoadPictureByExtension(QFile::encodeName(fileName).toStdString());
        const TBitmap raster = MakePictureRaster(*picture, RasterOptions).Colour;
        const QImage image = PreviewOf(raster);
        if (image.isNull())
            return;
        previewImage_->setPixmap(QPixmap::fromImage(image));
        previewSize_->setText(QStringLiteral("%1 x %2").arg(raster.Width()).arg(raster.Height()));
    } catch (const std::exception&) {
        // No preview for a file that cannot be decoded.
    }
}

} // namespace gz::ui
