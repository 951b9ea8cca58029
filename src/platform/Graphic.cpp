#include "platform/Graphic.h"

#include "platform/Exceptions.h"
#include "platform/Streams.h"

namespace gz {

void TGraphic::LoadFromFile(const std::string& fileName)
{
    TFileStream stream(fileName, fmOpenRead);
    LoadFromStream(stream);
}

void TGraphic::SaveToFile(const std::string& fileName) const
{
    TFileStream stream(fileName, fmCreate);
    SaveToStream(stream);
}

void TGraphic::Assign(const TGraphic& source)
{
    if (&source != this)
        source.AssignTo(*this);
}

void TGraphic::AssignTo(TGraphic& dest) const
{
    throw EConvertError("Cannot assign a " + ClassName() + " to a " + dest.ClassName());
}

void TGraphic::SetTransparent(bool value)
{
    if (value != transparent_) {
        transparent_ = value;
        Changed();
    }
}

void TGraphic::Changed()
{
    modified_ = true;
    if (OnChange)
        OnChange(*this);
}

void TGraphic::Progress(TGraphic& sender, TProgressStage stage, std::uint8_t percentDone, bool redrawNow,
                        const TRect& r, const std::string& msg)
{
    if (OnProgress)
        OnProgress(sender, stage, percentDone, redrawNow, r, msg);
}

} // namespace gz

#include "platform/Bitmap.h"
#include "platform/GraphicClass.h"

namespace gz {

const TGraphicClass& GraphicBaseClass()
{
    static const TGraphicClass cls{"TGraphic", nullptr, {}};
    return cls;
}

const TGraphicClass& BitmapClass()
{
    static const TGraphicClass cls{"TBitmap", &GraphicBaseClass(), [] { return std::make_unique<TBitmap>(); }};
    return cls;
}

} // namespace gz
