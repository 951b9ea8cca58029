#pragma once
// TMetafile: Windows metafile pictures (placeable and plain WMF, EMF). Loading keeps the
// file's bytes and reads the picture's size from its header; drawing plays the records
// onto the raster of the canvas.

#include "platform/Graphic.h"
#include "platform/GraphicClass.h"

#include <cstdint>
#include <vector>

namespace gz {

class TMetafile : public TGraphic {
public:
    TMetafile() = default;

    std::string ClassName() const override { return "TMetafile"; }

    // Reads the rest of the stream; raises EInvalidGraphic when it is not a usable metafile.
    void LoadFromStream(TStream& stream) override;
    // Writes the file as it was read.
    void SaveToStream(TStream& stream) const override;

    void Assign(const TGraphic& source) override;
    // A TBitmap receives the picture at its size, 24 bits per pixel, on white.
    void AssignTo(TGraphic& dest) const override;
    // Plays the records stretched into r; what the picture does not paint stays as it was.
    void Draw(TCanvas& canvas, const TRect& r) const override;

    int Width() const override { return width_; }
    int Height() const override { return height_; }
    void SetWidth(int value) override;
    void SetHeight(int value) override;
    bool Empty() const override { return data_.empty(); }

    // True for an enhanced metafile (EMF), false for a WMF.
    bool Enhanced() const { return enhanced_; }

private:
    std::vector<std::uint8_t> data_;
    bool enhanced_ = false;
    int width_ = 0, height_ = 0;
};

// The class of TMetafile, registered for "wmf" and "emf".
const TGraphicClass& MetafileClass();

// Metafile text needs the font database, which exists only inside a GUI application; without
// one, text records draw nothing. Programs that have no window (command-line tools, tests,
// fuzzers) call this once to start a windowless application for the rest of the run.
void StartHeadlessFontSupport();

} // namespace gz
