#include "png/KroProgress.h"

namespace gz {

void TKroProgress::Start()
{
    base_ = 0;
    last_ = 0;
    share_ = 0;
    remaining_ = 99;
    units_ = 1;
    kind_ = skUnits;
    byteStart_ = 0;
    Report(0);
}

void TKroProgress::Open(TStageKind kind, std::int64_t units, int percent)
{
    base_ += share_;
    last_ = base_;
    remaining_ -= share_;
    kind_ = kind;
    units_ = units == 0 ? 1 : units;
    share_ = (percent > 0 && percent < 100) ? percent * remaining_ / 100 : remaining_;
}

void TKroProgress::OpenStage(std::int64_t units, int percent)
{
    Open(skUnits, units, percent);
}

void TKroProgress::OpenByteStage(std::int64_t available, std::int64_t consumedNow, int percent)
{
    Open(skBytes, available, percent);
    byteStart_ = consumedNow;
}

void TKroProgress::Reach(std::int64_t p)
{
    const std::int64_t value = base_ + p;
    if (value > last_) {
        last_ = int(value);
        Report(last_);
    }
}

void TKroProgress::Advance(std::int64_t done)
{
    if (clampUnits_ && done >= units_)
        Reach(share_);
    else
        Reach(std::int64_t(share_) * done / units_);
}

void TKroProgress::AdvanceBytes(std::int64_t consumed)
{
    Reach(std::int64_t(share_) * (consumed - byteStart_) / units_);
}

void TKroProgress::End()
{
    Report(100);
}

} // namespace gz
