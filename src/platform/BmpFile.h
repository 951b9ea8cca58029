#pragma once
// Bitmap (BMP) files: the reader and writer behind TBitmap::LoadFromStream and SaveToStream.

namespace gz {

class TStream;
class TBitmap;

// Reads a bitmap file from the stream's position; raises EInvalidGraphic on bad data.
void ReadBitmapFile(TStream& stream, TBitmap& bitmap);
// Writes the bitmap as a bitmap file in its own pixel format.
void WriteBitmapFile(TStream& stream, const TBitmap& bitmap);

} // namespace gz
