#pragma once
// Run-time picture classes: each concrete TGraphic descendant publishes one TGraphicClass
// (its name, its parent class and a factory), so that tables such as the picture-format
// registry can hold "a class" and create pictures of it later.

#include <functional>
#include <memory>
#include <string>

namespace gz {

class TGraphic;

struct TGraphicClass {
    std::string Name;
    const TGraphicClass* Parent = nullptr; // null only for TGraphic itself
    std::function<std::unique_ptr<TGraphic>()> Create; // empty for abstract classes

    // True for this class and every descendant of base.
    bool InheritsFrom(const TGraphicClass& base) const
    {
        for (const TGraphicClass* c = this; c; c = c->Parent)
            if (c == &base)
                return true;
        return false;
    }
};

// The class of TGraphic itself, the root of every picture class.
const TGraphicClass& GraphicBaseClass();
// The class of TBitmap.
const TGraphicClass& BitmapClass();

} // namespace gz
