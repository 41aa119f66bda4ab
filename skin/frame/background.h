#pragma once
// The background picture: its base colour, its preparation by mode, and the background drawing
// of a window's full paint.
#include <windows.h>

#include "gfx/graphics.h"
#include "toolkit/valueModel.h"

inline constexpr int kBaseColourSamples = 2000;

// The mean colour of that many pixels picked at random; the button-face colour when the picture
// cannot be decoded.
COLORREF baseColourOfPicture(const ByteSet& picture, int samples = kBaseColourSamples);
// The picture made ready for its mode: modes 0 and 1 blend its edges into the base colour and
// re-encode it; the others keep the bytes.
ByteSet preparePicture(const ByteSet& picture, int mode, COLORREF baseColour);
// The picture of a file, re-encoded as PNG; empty when it cannot be read.
ByteSet pictureFromFile(const Text& fileName);
// Magenta outside the rounded client shape, the base colour inside, the picture over it by its
// mode, and the caption gloss when the record asks for it.
void drawBackground(Graphics& graphics, int recordIndex);
