#include "platform/metafile/Metafile.h"

#include "platform/Bitmap.h"
#include "platform/Canvas.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "platform/metafile/GdiDevice.h"
#include "platform/metafile/MetafileHeader.h"
#include "platform/metafile/Playback.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstring>

namespace gz {

namespace {

// Larger files are refused before anything is allocated for them.
constexpr std::int64_t kMaxFileBytes = std::int64_t(256) << 20;
// Drawing renders bands of at most this many pixels, so that large pictures need little memory.
constexpr std::int64_t kBandPixels = std::int64_t(1) << 22;

void CopyToImage(const TBitmap& bitmap, const TRect& area, QImage& image)
{
    std::vector<std::uint8_t> row(std::size_t(bitmap.Width()) * 3);
    for (int y = 0; y < image.height(); ++y) {
        bitmap.ReadRowBGR(area.Top + y, row.data());
        QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        const std::uint8_t* in = row.data() + std::size_t(area.Left) * 3;
        for (int x = 0; x < image.width(); ++x, in += 3)
            out[x] = qRgb(in[2], in[1], in[0]);
    }
}

void CopyFromImage(const QImage& image, const TRect& area, TBitmap& bitmap)
{
    const TPixelFormat pf = bitmap.PixelFormat();
    const bool direct = pf == pf24bit || pf == pfDevice || pf == pf32bit;
    const int bpp = pf == pf32bit ? 4 : 3;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        if (direct) {
            std::uint8_t* out = bitmap.ScanLine(area.Top + y) + std::size_t(area.Left) * bpp;
            for (int x = 0; x < image.width(); ++x, out += bpp)
                out[0] = std::uint8_t(qBlue(in[x])), out[1] = std::uint8_t(qGreen(in[x])), out[2] = std::uint8_t(qRed(in[x]));
        } else {
            for (int x = 0; x < image.width(); ++x)
                bitmap.SetPixel(area.Left + x, area.Top + y, RGBColor(std::uint8_t(qRed(in[x])),
                                                                      std::uint8_t(qGreen(in[x])), std::uint8_t(qBlue(in[x]))));
        }
    }
}

} // namespace

void TMetafile::LoadFromStream(TStream& stream)
{
    const std::int64_t available = stream.Size() - stream.Position();
    if (available > kMaxFileBytes)
        throw EInvalidGraphic("Metafile is too large (" + std::to_string(available) + " bytes)");
    std::vector<std::uint8_t> data(std::size_t(std::max<std::int64_t>(available, 0)));
    stream.ReadBuffer(data.data(), data.size());
    const metafile::MetafileHeader header = metafile::ReadMetafileHeader(data.data(), data.size());
    data_ = std::move(data);
    enhanced_ = header.Kind == metafile::MetafileKind::Emf;
    width_ = header.Width;
    height_ = header.Height;
    Changed();
}

void TMetafile::SaveToStream(TStream& stream) const
{
    if (!data_.empty())
        stream.WriteBuffer(data_.data(), data_.size());
}

void TMetafile::Assign(const TGraphic& source)
{
    if (const auto* other = dynamic_cast<const TMetafile*>(&source)) {
        if (other != this) {
            data_ = other->data_;
            enhanced_ = other->enhanced_;
            width_ = other->width_;
            height_ = other->height_;
            Changed();
        }
        return;
    }
    TGraphic::Assign(source);
}

void TMetafile::AssignTo(TGraphic& dest) const
{
    auto* bitmap = dynamic_cast<TBitmap*>(&dest);
    if (!bitmap) {
        TGraphic::AssignTo(dest);
        return;
    }
    TBitmap picture(width_, height_, pf24bit);
    TCanvas canvas(picture);
    canvas.Brush.Color = clWhite;
    canvas.FillRect({0, 0, width_, height_});
    Draw(canvas, {0, 0, width_, height_});
    bitmap->Assign(picture);
}

void TMetafile::Draw(TCanvas& canvas, const TRect& r) const
{
    if (data_.empty() || r.Width() == 0 || r.Height() == 0)
        return;
    TBitmap& bitmap = canvas.Bitmap();
    const TRect visible{std::max(std::min(r.Left, r.Right), 0), std::max(std::min(r.Top, r.Bottom), 0),
                        std::min(std::max(r.Left, r.Right), bitmap.Width()),
                        std::min(std::max(r.Top, r.Bottom), bitmap.Height())};
    if (visible.Left >= visible.Right || visible.Top >= visible.Bottom)
        return;
    const metafile::MetafileHeader header = metafile::ReadMetafileHeader(data_.data(), data_.size());
    const int bandRows = int(std::clamp<std::int64_t>(kBandPixels / visible.Width(), 1, visible.Height()));
    for (int top = visible.Top; top < visible.Bottom; top += bandRows) {
        const TRect band{visible.Left, top, visible.Right, std::min(top + bandRows, visible.Bottom)};
        QImage image(band.Width(), band.Height(), QImage::Format_RGB32);
        if (image.isNull())
            throw EOutOfResources("Not enough memory to draw the metafile");
        CopyToImage(bitmap, band, image);
        {
            QPainter painter(&image);
            const QRectF output(r.Left - band.Left, r.Top - band.Top, r.Width(), r.Height());
            metafile::GdiDevice device(painter, header, output);
            if (header.Kind == metafile::MetafileKind::Emf)
                metafile::PlayEmf(data_.data(), data_.size(), header, device);
            else
                metafile::PlayWmf(data_.data(), data_.size(), header, device);
        }
        CopyFromImage(image, band, bitmap);
    }
    bitmap.Changed();
}

void TMetafile::SetWidth(int value)
{
    if (value != width_) {
        width_ = std::max(value, 0);
        Changed();
    }
}

void TMetafile::SetHeight(int value)
{
    if (value != height_) {
        height_ = std::max(value, 0);
        Changed();
    }
}

const TGraphicClass& MetafileClass()
{
    static const TGraphicClass cls{"TMetafile", &GraphicBaseClass(), [] { return std::make_unique<TMetafile>(); }};
    return cls;
}

void StartHeadlessFontSupport()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 3;
    static char name[] = "gazorin", option[] = "-platform", platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    // Deliberately never destroyed: it lives until the process ends.
    new QGuiApplication(argc, argv);
}

} // namespace gz
