// The word "Kelvo" on the window's title strip, drawn from outlines kept
// here: no font is looked up or loaded for it, which keeps the font
// machinery (fontconfig, FreeType, HarfBuzz: 2.5 MB resident) out of a
// start-up that shows no other text.
#pragma once

#include <QColor>
#include <QPainter>
#include <QPointF>

namespace kelvo {

// The word at 8 pixels, its left end on the baseline at `origin`, in the
// painter's coordinates (a scaled painter draws it larger, as smoothly).
void DrawTitleLettering(QPainter& painter, QPointF origin, QColor colour);

}  // namespace kelvo
