#pragma once
// The picture the codec benchmarks work on.

#include "platform/Bitmap.h"

namespace gz::bench {

constexpr int kPhotoWidth = 4000, kPhotoHeight = 3000;

// A 4000 x 3000 24-bit photo-like picture: smooth gradients with a little grain, so that the
// encoders see data like a real picture's. Made once, on first use.
const TBitmap& PhotoLikeBitmap();

} // namespace gz::bench
