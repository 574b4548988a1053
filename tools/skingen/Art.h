// The pictures of a skin, drawn with QPainter from its theme. Every function
// returns an ARGB32 premultiplied image of the exact size of the control it is
// drawn in.
#pragma once

#include <QImage>
#include <QString>

#include "Theme.h"

namespace skingen {

// Device pixels per window pixel of the pictures drawn from now on: 1 for the
// plain pictures, 2 for their "@2x" twins. The sizes below are in window
// pixels; a picture at scale 2 has twice as many pixels each way and a
// device pixel ratio of 2.
void SetArtScale(int scale);
int ArtScale();

// Pictures of skinEx's controls.
QImage DrawControlBar(const Theme& t);  // 140 x 26
QImage DrawLogoBack(const Theme& t);    // 137 x 99
QImage DrawLogo(const Theme& t);        // 73 x 73
QImage DrawVolumeKnob(const Theme& t);  // 16 x 17 (yuan)
QImage DrawAlphaKnob(const Theme& t);   // 20 x 22 (yuan2)
QImage DrawSpeaker(const Theme& t);     // 14 x 12 (laba)

// A bitmap button face: the glyph `name` (next, prev, push, play, list, so) in
// the up or hot colour, anti-aliased against `under` (what the window shows
// beneath the button, same size) and olive where nothing is drawn.
QImage DrawButtonFace(const Theme& t, const QString& name, bool hot, const QImage& under);

// List row backgrounds: 0 odd rows, 1 even rows, 2 under the mouse, 3 selected.
QImage DrawListBack(const Theme& t, int index);  // 260 x 20

// Pictures skin.ini names.
QImage DrawCaptionBar(const Theme& t);                     // 48 x captionHeight, slices 12 / 12
QImage DrawCaptionButtons(const Theme& t);                 // 4 x 18 wide, 3 x 16 high
QImage DrawCheck(const Theme& t, bool checked, bool hot);  // 13 x 13
QImage DrawArrow(const Theme& t, bool up, const QColor& color);  // 9 x 6

// The application icon, `size` pixels square whatever the scale.
QImage DrawAppIcon(int size);

}  // namespace skingen
