#include "join/JoinPlan.h"

#include "join/JoinGeometry.h"

#include <algorithm>

namespace gz {

TRect Intersection(const TRect& a, const TRect& b)
{
    TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
    if (IsEmptyRect(r))
        return {};
    return r;
}

namespace {

TRect Moved(const TRect& r, int dx, int dy) { return {r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy}; }

// One document's state on the way: its size and the pictures on it, in its own coordinates.
struct TDocumentPlan {
    int width = 0, height = 0;
    std::vector<TPlacedPicture> pictures;
};

TPictureSize SourceSize(const TJoinOp& op, const TDocumentPlan& target, const TDocumentPlan& row,
                        const std::vector<TPictureSize>& inputs)
{
    switch (op.source) {
    case TJoinOp::soPicture:
        return inputs.at(std::size_t(op.input));
    case TJoinOp::soBlank:
        return op.input >= 0 ? inputs.at(std::size_t(op.input)) : TPictureSize{target.width, target.height};
    case TJoinOp::soStrip:
        return op.joinDir == jdUp || op.joinDir == jdDown ? TPictureSize{1, op.depth} : TPictureSize{op.depth, 1};
    case TJoinOp::soRow:
        return {row.width, row.height};
    }
    return {};
}

void Join(const TJoinOp& op, TDocumentPlan& doc, TDocumentPlan& row, const std::vector<TPictureSize>& inputs)
{
    const TPictureSize n = SourceSize(op, doc, row, inputs);
    // The engine's blank join does nothing on an empty picture; neither does a join of nothing.
    if (n.width < 1 || n.height < 1)
        return;
    const TJoinGeometry g = JoinGeometry(op.joinDir, op.joinPos, op.keepSize, doc.width, doc.height, n.width, n.height);
    TRect rect = g.rect;
    if (op.corner)
        rect = {op.corner->X, op.corner->Y, op.corner->X + n.width, op.corner->Y + n.height};
    const TRect canvas{0, 0, g.canvasW, g.canvasH};

    if (!g.drawOld)
        doc.pictures.clear();
    for (TPlacedPicture& p : doc.pictures) {
        p.rect = Moved(p.rect, g.oldX, g.oldY);
        p.clip = Moved(p.clip, g.oldX, g.oldY);
    }
    if (op.source == TJoinOp::soRow) {
        // A row is joined below on fresh canvas, so its pictures keep their own blending.
        for (TPlacedPicture p : row.pictures) {
            p.rect = Moved(p.rect, rect.Left, rect.Top);
            p.clip = Intersection(Moved(p.clip, rect.Left, rect.Top), canvas);
            doc.pictures.push_back(p);
        }
        row = TDocumentPlan{};
    } else if (op.source != TJoinOp::soStrip) { // a strip is white on white
        TPlacedPicture p;
        p.input = op.source == TJoinOp::soPicture ? op.input : kBlankInput;
        p.rect = rect;
        p.clip = Intersection(rect, canvas);
        p.flips = op.flips;
        p.seeThrough = op.seeThrough && p.input != kBlankInput;
        doc.pictures.push_back(p);
    }
    doc.width = g.canvasW;
    doc.height = g.canvasH;
}

// Marks what lands on untouched canvas and drops what changes nothing.
void SettleOrder(std::vector<TPlacedPicture>& pictures)
{
    std::vector<TRect> drawn;
    std::vector<TPlacedPicture> kept;
    for (TPlacedPicture p : pictures) {
        if (IsEmptyRect(p.clip) || p.opacity == 0)
            continue;
        p.overWhite = std::none_of(drawn.begin(), drawn.end(),
                                   [&](const TRect& r) { return !IsEmptyRect(Intersection(r, p.clip)); });
        if (p.input == kBlankInput && p.overWhite)
            continue; // white over white
        drawn.push_back(p.clip);
        kept.push_back(p);
    }
    pictures = std::move(kept);
}

} // namespace

TJoinPlan BuildJoinPlan(const std::vector<TJoinOp>& ops, const std::vector<TPictureSize>& inputs)
{
    TDocumentPlan docs[2];
    for (const TJoinOp& op : ops)
        Join(op, docs[op.document], docs[1], inputs);
    TJoinPlan plan;
    plan.width = docs[0].width;
    plan.height = docs[0].height;
    plan.pictures = std::move(docs[0].pictures);
    SettleOrder(plan.pictures);
    return plan;
}

std::vector<std::pair<int, int>> TJoinPlan::UncoveredSpans(int y) const
{
    std::vector<std::pair<int, int>> covered;
    for (const TPlacedPicture& p : pictures)
        if (p.input != kBlankInput && y >= p.clip.Top && y < p.clip.Bottom)
            covered.emplace_back(p.clip.Left, p.clip.Right);
    std::sort(covered.begin(), covered.end());
    std::vector<std::pair<int, int>> spans;
    int x = 0;
    for (const auto& [left, right] : covered) {
        if (left > x)
            spans.emplace_back(x, left);
        x = std::max(x, right);
    }
    if (x < width)
        spans.emplace_back(x, width);
    return spans;
}

} // namespace gz
