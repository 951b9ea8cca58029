#pragma once
// Staged progress shared by the buffered write and read streams.
//
// An operation runs through stages; each stage is worth a share of what is left of the
// 0..99 range and advances by units (rows, header chunks) or by bytes consumed. Only rising
// values are reported; all arithmetic is integer arithmetic.

#include <cstdint>
#include <functional>

namespace gz {

class TKroProgress {
public:
    enum TStageKind { skUnits, skBytes };
    // Receives every percent to report (0 at the start, 100 at the end).
    using TReportFunc = std::function<void(int percent)>;

    // With clampUnits, a by-units stage reports its full share once done reaches the units
    // (the read side); without it the share is scaled by done / units as it stands.
    explicit TKroProgress(TReportFunc report = {}, bool clampUnits = false)
        : report_(std::move(report)), clampUnits_(clampUnits) {}

    void SetReport(TReportFunc report) { report_ = std::move(report); }

    // Resets the state and reports 0 %.
    void Start();
    // Opens a stage counted in units (0 counts as 1) worth percent % of what is left
    // (percent outside 1..99 takes all that is left).
    void OpenStage(std::int64_t units, int percent);
    // Opens a stage counted in bytes: its units are the available byte count, and the
    // consumed count at this moment is its start.
    void OpenByteStage(std::int64_t available, std::int64_t consumedNow, int percent);
    // Advances a by-units stage to done units.
    void Advance(std::int64_t done);
    // Advances a by-bytes stage to the given consumed count.
    void AdvanceBytes(std::int64_t consumed);
    // Reports 100 %.
    void End();

    int LastReported() const { return last_; }
    int Base() const { return base_; }
    int Share() const { return share_; }
    int Remaining() const { return remaining_; }
    TStageKind Kind() const { return kind_; }

private:
    void Open(TStageKind kind, std::int64_t units, int percent);
    void Reach(std::int64_t p);
    void Report(int percent) const
    {
        if (report_)
            report_(percent);
    }

    TReportFunc report_;
    bool clampUnits_ = false;
    int base_ = 0;
    int last_ = 0;
    int share_ = 0;
    int remaining_ = 99;
    std::int64_t units_ = 1;
    TStageKind kind_ = skUnits;
    std::int64_t byteStart_ = 0;
};

} // namespace gz
