#pragma once
// TIcon: icon pictures (.ico). Of the images an icon file holds, the largest and then the
// deepest is kept, as 32-bit pixels whose fourth byte is the opacity (0 transparent, 255
// opaque): the transparency mask or, for 32-bit images, their own alpha channel. Drawing
// blends the icon onto what the canvas holds, so transparent parts leave it unchanged.

#include "platform/Bitmap.h"
#include "platform/Graphic.h"
#include "platform/GraphicClass.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace gz {

class TIcon : public TGraphic {
public:
    TIcon();
    // Copies share the image's pixel storage.
    TIcon(const TIcon& other);
    TIcon& operator=(const TIcon& other);

    std::string ClassName() const override { return "TIcon"; }

    // Raises EInvalidGraphic with the reason when the data is not a readable icon.
    void LoadFromStream(TStream& stream) override;
    // Writes an icon file with one 32-bit image.
    void SaveToStream(TStream& stream) const override;

    // Takes icons, and bitmaps as fully opaque images.
    void Assign(const TGraphic& source) override;
    // A bitmap receives the icon drawn on white, 24 bits per pixel.
    void AssignTo(TGraphic& dest) const override;
    void Draw(TCanvas& canvas, const TRect& r) const override;

    int Width() const override { return image_.Width(); }
    int Height() const override { return image_.Height(); }
    // Icons keep the size of their image; changing it raises EInvalidGraphicOperation.
    void SetWidth(int value) override;
    void SetHeight(int value) override;
    bool Empty() const override { return image_.Empty(); }

    // The kept image: 32-bit blue, green, red, opacity.
    const TBitmap& Image() const { return image_; }

private:
    TBitmap image_;
};

const TGraphicClass& IconClass();

// Decoder of PNG-compressed icon images, provided by the PNG codec when it is linked in:
// takes the PNG data and returns the picture (32-bit results carry opacity in the fourth
// byte). Until one is set, such icons are refused with a message.
using TIconPngDecoder = std::function<TBitmap(const std::uint8_t* data, std::size_t size)>;
void SetIconPngDecoder(TIconPngDecoder decoder);

} // namespace gz
