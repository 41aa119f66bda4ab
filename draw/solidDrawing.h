#pragma once
// Fills and outlines of one colour or one linear gradient, for the control painters. Each call
// makes its brush or pen and deletes it before returning: GDI+ objects live for one paint.
#include "gfx/graphics.h"
#include "gfx/path.h"

void fillPathSolid(Graphics& graphics, const GraphicsPath& path, Argb colour);
void fillRectangleSolid(Graphics& graphics, float x, float y, float width, float height, Argb colour);
void strokePathSolid(Graphics& graphics, const GraphicsPath& path, Argb colour, float penWidth = 1);
void strokeRectangleSolid(Graphics& graphics, float x, float y, float width, float height, Argb colour,
                          float penWidth = 1);
// A linear gradient along any direction, from colour1 at point1 to colour2 at point2.
void fillPathGradient(Graphics& graphics, const GraphicsPath& path, PointF point1, PointF point2, Argb colour1,
                      Argb colour2);

// A new path holding one figure.
GraphicsPath roundedRectanglePath(float x, float y, float width, float height, float corner);
GraphicsPath topRoundedRectanglePath(float x, float y, float width, float height, float corner);
GraphicsPath rectanglePath(float x, float y, float width, float height);
GraphicsPath ellipsePath(float x, float y, float width, float height);
