#pragma once
// The glyphs of the tool panel, drawn here rather than shipped as image files.

#include <QIcon>

namespace gz::ui {

enum class TGlyph {
    Open, SaveJpeg, SavePng,
    Undo, Copy, Paste,
    NewWindow, Up, Down, Left, Right, UpLeft, UpRight, DownLeft, DownRight,
    MirrorLeftRight, MirrorUpDown, GrowCanvas,
    AlignStart, AlignCenter, AlignEnd,
};

QIcon GlyphIcon(TGlyph glyph);

} // namespace gz::ui
