// Text output of the metafile device: fonts from the logical font, placement by the text
// alignment, per-character advances, escapement, opaque backgrounds and clipping.

#include "platform/metafile/GdiDevice.h"
#include "platform/metafile/TextDecoding.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>

#include <algorithm>
#include <cmath>

namespace gz::metafile {

namespace {

// Fonts need the font database, which exists only inside a GUI application.
// Text whose origin lies this far outside the raster is not drawn.
constexpr double kMaxTextOrigin = 1e6;

bool FontsAvailable() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }

QFont MakeFont(const GdiFont& f, double pixelSize)
{
    QFont font;
    if (!IsSymbolFont(f) && !f.Face.isEmpty())
        font.setFamily(f.Face);
    switch ((f.PitchAndFamily >> 4) & 0x0F) {
    case 1: font.setStyleHint(QFont::Serif); break;
    case 2: font.setStyleHint(QFont::SansSerif); break;
    case 3: font.setStyleHint(QFont::Monospace); break;
    case 4: font.setStyleHint(QFont::Cursive); break;
    case 5: font.setStyleHint(QFont::Decorative); break;
    default: break;
    }
    font.setPixelSize(std::max(1, int(std::lround(pixelSize))));
    font.setWeight(QFont::Weight(std::clamp(f.Weight == 0 ? 400 : f.Weight, 100, 900)));
    font.setItalic(f.Italic);
    font.setUnderline(f.Underline);
    font.setStrikeOut(f.StrikeOut);
    return font;
}

} // namespace

void GdiDevice::TextOut(QPointF ref, const TextRun& run, int options, const QRectF* rect, bool advancedMode)
{
    const DcState& s = state_;
    const bool updateCp = (s.TextAlign & kTaUpdateCp) != 0;
    if (updateCp)
        ref = s.Position;
    const QTransform t = Total();
    if (rect && (options & kEtoOpaque) && !pathBracket_) {
        QPainterPath box;
        box.addRect(rect->normalized());
        GdiBrush background;
        background.Color = s.BkColor;
        const int rop2 = state_.Rop2;
        state_.Rop2 = 13;
        Fill(MapToOutput(box), background);
        state_.Rop2 = rop2;
    }
    if (run.Text.isEmpty() || !FontsAvailable() || pathBracket_)
        return;

    const QPointF origin = t.map(ref);
    const QPointF xAxis = t.map(ref + QPointF(1, 0)) - origin;
    const QPointF yAxis = t.map(ref + QPointF(0, 1)) - origin;
    const double xScale = std::hypot(xAxis.x(), xAxis.y()), yScale = std::hypot(yAxis.x(), yAxis.y());
    // A positive height is the character cell, a negative one the character itself.
    const double cell = s.Font.Height == 0 ? 16 * std::sqrt(std::fabs(deviceToOutput_.determinant()))
                                           : std::fabs(s.Font.Height) * yScale;
    const double pixelSize = s.Font.Height > 0 ? cell * 0.87 : cell;
    if (!std::isfinite(pixelSize) || pixelSize < 0.5 || pixelSize > 2048 || !std::isfinite(origin.x()) ||
        !std::isfinite(origin.y()) || std::fabs(origin.x()) > kMaxTextOrigin ||
        std::fabs(origin.y()) > kMaxTextOrigin)
        return;

    const QFont font = MakeFont(s.Font, pixelSize);
    const QFontMetricsF metrics(font);
    std::vector<double> offsets; // pen position of each unit along the baseline, output pixels
    double width = 0;
    if (!run.Advances.empty()) {
        for (double advance : run.Advances) {
            offsets.push_back(width);
            width += advance * xScale;
        }
    } else {
        width = metrics.horizontalAdvance(run.Text);
    }
    width += s.TextCharExtra * xScale * run.Text.size();

    // The baseline runs along the escapement (tenths of a degree, counter-clockwise); in the
    // advanced graphics mode the world transform turns it as well.
    double angle = -s.Font.Escapement / 10.0;
    if (advancedMode && (s.World.m12() != 0 || s.World.m21() != 0))
        angle += std::atan2(xAxis.y(), xAxis.x()) * 180 / 3.14159265358979323846;
    QTransform frame;
    frame.translate(origin.x(), origin.y());
    frame.rotate(angle);

    double x0 = 0, y0 = 0;
    switch (s.TextAlign & kTaHorizontalMask) {
    case kTaRight: x0 = -width; break;
    case kTaCenter: x0 = -width / 2; break;
    default: break;
    }
    switch (s.TextAlign & kTaVerticalMask) {
    case kTaBaseline: break;
    case kTaBottom: y0 = -metrics.descent(); break;
    default: y0 = metrics.ascent(); break;
    }

    ApplyClip();
    painter_.save();
    if (rect && (options & kEtoClipped)) {
        QPainterPath box;
        box.addRect(rect->normalized());
        painter_.setClipPath(MapToOutput(box), s.Clipped ? Qt::IntersectClip : Qt::ReplaceClip);
    }
    painter_.setTransform(frame);
    if (s.BkMode == kBkOpaque)
        painter_.fillRect(QRectF(x0, y0 - metrics.ascent(), width, metrics.ascent() + metrics.descent()), s.BkColor);
    painter_.setFont(font);
    painter_.setPen(s.TextColor);
    if (offsets.empty()) {
        painter_.drawText(QPointF(x0, y0), run.Text);
    } else {
        const double extra = s.TextCharExtra * xScale;
        for (qsizetype i = 0; i < run.Text.size(); ++i) {
            qsizetype length = 1;
            if (run.Text[i].isHighSurrogate() && i + 1 < run.Text.size())
                length = 2;
            painter_.drawText(QPointF(x0 + offsets[std::size_t(i)] + extra * double(i), y0), run.Text.mid(i, length));
            i += length - 1;
        }
    }
    painter_.restore();
    clipDirty_ = true;

    if (updateCp && xScale > 0)
        state_.Position = ref + QPointF(width / xScale, 0);
}

} // namespace gz::metafile
