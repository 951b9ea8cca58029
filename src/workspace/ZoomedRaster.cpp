#include "workspace/ZoomedRaster.h"

#include "platform/Bitmap.h"
#include "join/JoinTypes.h"

#include <QPainter>
#include <QRegion>

#include <cstring>
#include <vector>

namespace gz::ui {

QImage RenderZoomedPart(const TBitmap& bitmap, int zoomedWidth, int zoomedHeight, const QRect& part)
{
    const int sw = bitmap.Width(), sh = bitmap.Height();
    const QRect r = part.intersected(QRect(0, 0, zoomedWidth, zoomedHeight));
    if (r.isEmpty() || sw <= 0 || sh <= 0)
        return {};
    QImage image(r.size(), QImage::Format_RGB32);
    if (image.isNull())
        return {};

    std::vector<std::size_t> columnOffset(std::size_t(r.width()));
    for (int x = 0; x < r.width(); ++x)
        columnOffset[std::size_t(x)] = std::size_t(std::int64_t(r.left() + x) * sw / zoomedWidth) * 3;

    const bool direct = bitmap.PixelFormat() == pf24bit || bitmap.PixelFormat() == pfDevice;
    std::vector<std::uint8_t> converted(direct ? 0 : std::size_t(sw) * 3);
    int previous = -1;
    for (int y = 0; y < r.height(); ++y) {
        auto* out = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        const int sy = int(std::int64_t(r.top() + y) * sh / zoomedHeight);
        if (sy == previous) { // enlarged: the row repeats the one above
            std::memcpy(out, image.constScanLine(y - 1), std::size_t(r.width()) * 4);
            continue;
        }
        previous = sy;
        const std::uint8_t* row;
        if (direct) {
            row = bitmap.ScanLine(sy);
        } else {
            bitmap.ReadRowBGR(sy, converted.data());
            row = converted.data();
        }
        for (std::size_t offset : columnOffset) {
            const std::uint8_t* p = row + offset;
            *out++ = 0xFF000000u | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0];
        }
    }
    return image;
}

void PaintZoomedView(QPainter& painter, const TBitmap& bitmap, int zoom, const QRect& exposed, const QColor& face)
{
    if (bitmap.Height() < 1)
        return;
    const int zw = ZoomedSize(bitmap.Width(), zoom), zh = ZoomedSize(bitmap.Height(), zoom);
    const QRect picture = exposed.intersected(QRect(0, 0, zw, zh));
    const QRegion around = QRegion(exposed).subtracted(QRegion(picture));
    if (!around.isEmpty()) {
        // The gaps between the hatch lines get a slightly darker face, so the hatch shows.
        painter.save();
        painter.setClipRegion(around);
        painter.fillRect(exposed, face.darker(112));
        painter.fillRect(exposed, QBrush(face, Qt::DiagCrossPattern));
        painter.restore();
    }
    if (!picture.isEmpty())
        painter.drawImage(picture.topLeft(), RenderZoomedPart(bitmap, zw, zh, picture));
}

} // namespace gz::ui
