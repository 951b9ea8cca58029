#pragma once
// TGraphic: the abstract picture class every picture format derives from.
//
// Assignment follows one rule throughout: Dest.Assign(Source) first lets the destination
// handle sources it knows; otherwise it asks Source.AssignTo(Dest); a pair that neither side
// knows raises EConvertError. Lazy caches in derived classes are mutable so that const
// sources can decode or encode on demand.

#include "platform/Types.h"

#include <string>
#include <vector>

namespace gz {

class TStream;
class TCanvas;

class TGraphic {
public:
    TGraphic() = default;
    virtual ~TGraphic() = default;
    TGraphic(const TGraphic&) = delete;
    TGraphic& operator=(const TGraphic&) = delete;

    // Name of the picture class, used in conversion messages ("TBitmap", "TKroPNG", ...).
    virtual std::string ClassName() const = 0;

    virtual void LoadFromStream(TStream& stream) = 0;
    virtual void SaveToStream(TStream& stream) const = 0;
    virtual void LoadFromFile(const std::string& fileName);
    virtual void SaveToFile(const std::string& fileName) const;

    virtual void Assign(const TGraphic& source);
    virtual void AssignTo(TGraphic& dest) const;

    // Draws the picture stretched (nearest neighbour) into r of the canvas.
    virtual void Draw(TCanvas& canvas, const TRect& r) const = 0;

    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void SetWidth(int value) = 0;
    virtual void SetHeight(int value) = 0;
    virtual bool Empty() const = 0;
    // The picture's colour table; empty when it has none.
    virtual std::vector<TPaletteEntry> Palette() const { return {}; }
    // How the picture's file asks it to be turned to be seen upright, as the photo orientation
    // tag counts (1 = as stored … 8); drawing and copying always give it as stored.
    virtual int Orientation() const { return 1; }

    bool Transparent() const { return transparent_; }
    virtual void SetTransparent(bool value);
    bool Modified() const { return modified_; }
    void SetModified(bool value) { modified_ = value; }

    TNotifyEvent OnChange;
    TProgressEvent OnProgress;

    // Marks the picture modified and tells the OnChange listener.
    virtual void Changed();
    // Tells the OnProgress listener, if any; a listener may raise EAbort to stop the operation.
    void Progress(TGraphic& sender, TProgressStage stage, std::uint8_t percentDone, bool redrawNow,
                  const TRect& r, const std::string& msg);

private:
    bool transparent_ = false;
    bool modified_ = false;
};

} // namespace gz
