#include "join/JoinLayout.h"

namespace gz {

namespace {

class TExpander {
public:
    std::vector<TJoinOp> ops;

    void Step(const TLayoutStep& step)
    {
        const TLayoutSettings& s = step.settings;
        if (s.across != across_) {
            FinishRow(s);
            across_ = s.across;
        }
        if (step.input != kBlankInput)
            lastPicture_ = step.input;
        if (across_ > 0)
            Cell(step, s);
        else
            Single(step, s);
    }

    void Finish(const TLayoutSettings& s) { FinishRow(s); }

private:
    void Strip(int document, TJoinDir dir, int depth)
    {
        TJoinOp op;
        op.source = TJoinOp::soStrip;
        op.document = document;
        op.joinDir = dir;
        op.depth = depth;
        ops.push_back(op);
    }

    // A grid join: the first opens its document; the others go to side dir, after a gap.
    void Attach(TJoinOp& op, bool documentOpen, TJoinDir dir, const TLayoutSettings& s)
    {
        if (!documentOpen) {
            op.joinDir = jdNew;
            return;
        }
        if (s.gap > 0)
            Strip(op.document, dir, s.gap);
        op.joinDir = dir;
        op.joinPos = s.position;
    }

    void Single(const TLayoutStep& step, const TLayoutSettings& s)
    {
        TJoinOp op;
        op.source = step.input == kBlankInput ? TJoinOp::soBlank : TJoinOp::soPicture;
        op.input = step.input;
        op.flips = s.flips;
        op.seeThrough = s.seeThrough;
        if (!pictureOpen_) {
            op.joinDir = jdNew; // the first picture opens the picture
        } else {
            if (s.gap > 0 && s.keepSize == smGrow && !s.at && step.input != kBlankInput)
                Strip(0, s.direction, s.gap);
            op.joinDir = s.direction;
            op.joinPos = s.at ? jpCustom : s.position;
            op.keepSize = s.keepSize;
            op.corner = s.at;
        }
        pictureOpen_ = true;
        ops.push_back(op);
    }

    void Cell(const TLayoutStep& step, const TLayoutSettings& s)
    {
        TJoinOp op;
        op.document = 1;
        op.flips = s.flips;
        op.seeThrough = s.seeThrough;
        if (step.input == kBlankInput) {
            op.source = TJoinOp::soBlank;
            op.input = lastPicture_;
        } else {
            op.source = TJoinOp::soPicture;
            op.input = step.input;
        }
        Attach(op, cells_ > 0, jdRight, s);
        ops.push_back(op);
        if (++cells_ == across_)
            FinishRow(s);
    }

    void FinishRow(const TLayoutSettings& s)
    {
        if (cells_ == 0)
            return;
        TJoinOp op;
        op.source = TJoinOp::soRow;
        Attach(op, pictureOpen_, jdDown, s);
        pictureOpen_ = true;
        ops.push_back(op);
        cells_ = 0;
    }

    int across_ = 0;
    int cells_ = 0;
    int lastPicture_ = kBlankInput;
    bool pictureOpen_ = false;
};

} // namespace

std::vector<TJoinOp> ExpandLayout(const std::vector<TLayoutStep>& steps)
{
    TExpander e;
    for (const TLayoutStep& step : steps)
        e.Step(step);
    e.Finish(steps.empty() ? TLayoutSettings{} : steps.back().settings);
    return e.ops;
}

} // namespace gz
