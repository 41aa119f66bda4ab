#pragma once
// The rounded path shapes of the skin and the glow outline along a path.
#include <windows.h>

#include "gfx/graphics.h"
#include "gfx/path.h"

// A closed rounded rectangle; the corner size is clamped to 1..100. The bottom-right corner's box
// is one pixel larger and one further out, as the skin has always drawn it.
void addRoundedRectangle(GraphicsPath& path, float x, float y, float width, float height, float corner);
// An open figure with rounded top corners; filling closes it along the bottom edge.
void addTopRoundedRectangle(GraphicsPath& path, float x, float y, float width, float height, float corner);
// Strokes the path rings times with pens of width 1, 2, ... rings: densest along the path.
void drawGlow(Graphics& graphics, const GraphicsPath& path, int rings, COLORREF colour, int alpha);
