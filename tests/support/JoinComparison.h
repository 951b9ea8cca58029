#pragma once
// A join sequence run both ways: streamed from the files band by band (gazorin-cli's way) and
// with the join engine on whole rasters read by the desktop program's reader. Shared by the
// differential test and the join fuzz target; header-only so that the fuzz target needs
// nothing from the test libraries.

#include "join/FileRaster.h"
#include "join/InputPicture.h"
#include "join/JoinRun.h"
#include "join/StreamedJoin.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <vector>

namespace gz::test {

struct TJoinOutcome {
    bool failed = false;
    std::string message;
    TABitmap picture;
};

// Runs join, which fills out.picture; a failure is kept as the outcome.
template <class Join>
TJoinOutcome Outcome(Join&& join)
{
    TJoinOutcome out;
    try {
        join(out.picture);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        out.failed = true;
        out.message = e.what();
    }
    return out;
}

// The engine's way: each picture read whole when its join comes, the joins on rasters.
inline TJoinOutcome EngineJoin(const std::vector<TLayoutStep>& steps, const std::vector<std::string>& files,
                               TColor background)
{
    return Outcome([&](TABitmap& picture) {
        const std::vector<TJoinOp> ops = ExpandLayout(steps);
        std::vector<TPictureSize> sizes(files.size());
        picture = RunJoinsInMemory(ops, [&](int i) {
            TPictureRaster p = ui::LoadFilePicture(files[std::size_t(i)]);
            sizes[std::size_t(i)] = {p.Colour.Width(), p.Colour.Height()};
            return p;
        });
        if (background != clWhite)
            PaintUncovered(picture, BuildJoinPlan(ops, sizes), background);
    });
}

// The streamed way, composed in bands of bandRows rows.
inline TJoinOutcome StreamedJoin(const std::vector<TLayoutStep>& steps, const std::vector<std::string>& files,
                                 TColor background, int bandRows, TWorkerPool& pool)
{
    return Outcome([&](TABitmap& picture) {
        std::vector<std::unique_ptr<TInputPicture>> inputs;
        std::vector<TInputPicture*> pointers;
        std::vector<TPictureSize> sizes;
        for (const std::string& file : files) {
            inputs.push_back(std::make_unique<TInputPicture>(file));
            pointers.push_back(inputs.back().get());
            sizes.push_back(inputs.back()->Size());
        }
        const TJoinPlan plan = BuildJoinPlan(ExpandLayout(steps), sizes);
        TJoinCompositor compositor(plan, pointers, background, pool);
        picture.AllocateUninitialized(plan.width, plan.height, pf24bit);
        std::vector<std::uint8_t*> rows;
        for (int y = 0; y < plan.height; y += bandRows) {
            const int count = std::min(bandRows, plan.height - y);
            rows.clear();
            for (int i = 0; i < count; ++i)
                rows.push_back(picture.ScanLine(y + i));
            compositor.Compose(y, count, rows.data());
        }
        compositor.ReadUnused();
    });
}

// Empty when both ways give the same pixels, or both fail unless mustSucceed; else what differs.
inline std::string CompareJoins(const std::vector<TLayoutStep>& steps, const std::vector<std::string>& files,
                                TColor background, int bandRows, TWorkerPool& pool, bool mustSucceed = true)
{
    const TJoinOutcome engine = EngineJoin(steps, files, background);
    const TJoinOutcome streamed = StreamedJoin(steps, files, background, bandRows, pool);
    std::ostringstream out;
    if (mustSucceed && engine.failed)
        return "engine failed: " + engine.message;
    if (engine.failed || streamed.failed) {
        if (engine.failed != streamed.failed)
            out << "engine " << (engine.failed ? "failed: " + engine.message : "succeeded") << ", streamed "
                << (streamed.failed ? "failed: " + streamed.message : "succeeded");
        return out.str();
    }
    const TABitmap& a = engine.picture;
    const TABitmap& b = streamed.picture;
    if (a.Width() != b.Width() || a.Height() != b.Height()) {
        out << "size " << a.Width() << "x" << a.Height() << " against " << b.Width() << "x" << b.Height();
        return out.str();
    }
    const std::size_t bytes = std::size_t(a.Width()) * 3;
    for (int y = 0; y < a.Height(); ++y)
        if (std::memcmp(a.ScanLine(y), b.ScanLine(y), bytes) != 0) {
            const std::uint8_t *p = a.ScanLine(y), *q = b.ScanLine(y);
            std::size_t i = 0;
            while (p[i] == q[i])
                ++i;
            out << "pixel (" << i / 3 << ", " << y << ") byte " << i % 3 << ": engine " << int(p[i]) << ", streamed "
                << int(q[i]);
            return out.str();
        }
    return {};
}

} // namespace gz::test
