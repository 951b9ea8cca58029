#include "workspace/ClipboardRaster.h"

#include "workspace/ZoomedRaster.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>

#include <cstring>

namespace gz::ui {

QImage RasterToImage(const TBitmap& raster)
{
    return RenderZoomedPart(raster, raster.Width(), raster.Height(), QRect(0, 0, raster.Width(), raster.Height()));
}

TBitmap ImageToRaster(const QImage& image)
{
    if (image.isNull())
        return TBitmap(0, 0, pf24bit);
    QImage opaque;
    if (image.hasAlphaChannel()) {
        opaque = QImage(image.size(), QImage::Format_RGB32);
        opaque.fill(Qt::white);
        QPainter p(&opaque);
        p.drawImage(0, 0, image);
    } else {
        opaque = image;
    }
    const QImage bgr = opaque.convertToFormat(QImage::Format_BGR888);
    TBitmap raster;
    raster.AllocateUninitialized(bgr.width(), bgr.height(), pf24bit);
    const std::size_t rowBytes = std::size_t(bgr.width()) * 3;
    for (int y = 0; y < bgr.height(); ++y)
        std::memcpy(raster.ScanLine(y), bgr.constScanLine(y), rowBytes);
    return raster;
}

void PutRasterOnClipboard(const TBitmap& raster)
{
    if (raster.Empty())
        return;
    QGuiApplication::clipboard()->setImage(RasterToImage(raster));
}

std::optional<TBitmap> ReadClipboardRaster()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data || !data->hasImage())
        return std::nullopt;
    const QImage image = QGuiApplication::clipboard()->image();
    if (image.isNull() || image.height() < 1)
        return std::nullopt;
    return ImageToRaster(image);
}

} // namespace gz::ui
