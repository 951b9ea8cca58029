#include "join/JoinRun.h"

#include "join/JoinEngine.h"

#include <cstring>
#include <map>

namespace gz {

namespace {

// Answers the custom placement with a fixed corner, fully opaque.
class TFixedCorner : public TPlacementRequest {
public:
    explicit TFixedCorner(TPoint corner) : corner_(corner) {}
    std::optional<TPlacement> AskPlacement(const TImageDocument&, const TABitmap& placed) override
    {
        return TPlacement{{corner_.X, corner_.Y, corner_.X + placed.Width(), corner_.Y + placed.Height()}, 255};
    }

private:
    TPoint corner_;
};

} // namespace

TABitmap RunJoinsInMemory(const std::vector<TJoinOp>& ops, const std::function<TPictureRaster(int input)>& picture)
{
    TImageDocument docs[2];
    std::map<int, TPictureSize> sizes;
    for (const TJoinOp& op : ops) {
        TImageDocument& doc = docs[op.document];
        doc.joinDir = op.joinDir;
        doc.joinPos = op.joinPos;
        doc.keepSize = op.keepSize;
        doc.flips = op.flips;
        doc.seeThrough = op.seeThrough;
        std::optional<TFixedCorner> corner;
        if (op.corner)
            corner.emplace(*op.corner);
        TPlacementRequest* wizard = corner ? &*corner : nullptr;
        switch (op.source) {
        case TJoinOp::soPicture: {
            const TPictureRaster p = picture(op.input);
            sizes[op.input] = {p.Colour.Width(), p.Colour.Height()};
            JoinPicture(doc, p, wizard);
            break;
        }
        case TJoinOp::soBlank:
            if (op.input < 0) {
                JoinBlank(&doc, wizard);
            } else {
                const TPictureSize s = sizes.at(op.input);
                JoinPicture(doc, TABitmap(s.width, s.height), wizard);
            }
            break;
        case TJoinOp::soStrip: {
            const bool vertical = op.joinDir == jdUp || op.joinDir == jdDown;
            JoinPicture(doc, vertical ? TABitmap(1, op.depth) : TABitmap(op.depth, 1), wizard);
            break;
        }
        case TJoinOp::soRow: {
            const TABitmap row = docs[1].workBmp;
            docs[1] = TImageDocument{};
            if (!row.Empty())
                JoinPicture(doc, row, wizard);
            break;
        }
        }
        doc.undoBmp.Clear(); // nothing here undoes; the snapshot would only cost memory
    }
    return docs[0].workBmp;
}

void PaintUncovered(TBitmap& raster, const TJoinPlan& plan, TColor colour)
{
    const std::uint8_t bgr[3] = {ColorBlue(colour), ColorGreen(colour), ColorRed(colour)};
    for (int y = 0; y < raster.Height(); ++y) {
        std::uint8_t* row = raster.ScanLine(y);
        for (const auto& [left, right] : plan.UncoveredSpans(y))
            for (int x = left; x < right; ++x)
                std::memcpy(row + 3 * std::size_t(x), bgr, 3);
    }
}

} // namespace gz
