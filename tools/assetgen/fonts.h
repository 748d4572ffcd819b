// Bitmap fonts rendered with FreeType into the runtime's font grid: 16 columns by 8 rows of
// equal cells, character code c in column c mod 16 and row c div 16, pure black transparent.
#pragma once

#include <string>

#include "image.h"

namespace assetgen {

struct FontStyle {
    int cellWidth;        // pixels per cell
    int cellHeight;       // pixels per cell
    int outline;          // radius of the dark outline around each glyph, pixels
    double stretch;       // horizontal widening of the glyphs, so fixed-pitch text looks less gappy
    Rgb top, bottom;      // glyph colour at the top and the bottom of the cell (vertical gradient)
    Rgb outlineColour;    // never pure black, which the runtime takes as transparent
};

// What a font render chose, for tests and for the README.
struct FontMetrics {
    int pixelSize = 0;    // FreeType pixel size the glyphs were rendered at
    int baseline = 0;     // row of the baseline within a cell, from the cell's top
    int squeezed = 0;     // number of glyphs narrowed to fit their cell
};

// Renders characters 32..126 of the TrueType font at ttfPath into a 16 x 8 grid (128 codes).
// Throws std::runtime_error when the font cannot be opened.
Image RenderFont(const std::string& ttfPath, const FontStyle& style, FontMetrics* metrics = nullptr);

// The font file the generator uses: DejaVu Sans Bold from Debian's fonts-dejavu-core.
std::string DefaultFontPath();

}  // namespace assetgen
