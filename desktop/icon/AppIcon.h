#pragma once
// Gazorin's icon: two pictures joined on a white canvas, the second attached below the
// first at the end of the edge. One list of shapes draws it at any size and writes it as
// SVG, so the installed icons and the window icon are the same picture.

#include <QByteArray>
#include <QIcon>
#include <QImage>

namespace gz::desktop {

// The sizes installed in the hicolor theme and put into the window icon.
inline constexpr int AppIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

// The icon drawn into a transparent size × size image, antialiased.
QImage AppIconImage(int size);
// The same picture as a standalone SVG document (256 × 256 user units).
QByteArray AppIconSvg();
// Every size of AppIconSizes in one icon; needs the GUI application object.
QIcon AppIcon();

} // namespace gz::desktop
