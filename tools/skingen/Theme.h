// The colours and choices that make one skin. Every picture of a skin is drawn
// from its theme, so the two skins share the drawing code and differ here.
#pragma once

#include <QColor>
#include <QString>

namespace skingen {

enum class CoverStyle { Equalizer, Ripples };

struct Theme {
  QString folder;       // folder name under data/
  QString displayName;  // [VERSION] Name
  CoverStyle cover = CoverStyle::Equalizer;

  // Window
  QColor client;  // client background
  QColor text;    // label text
  QColor textDim;
  QColor disabledText;
  QColor accent;  // the skin's signature colour
  QColor accentLight;
  QColor accentDark;
  int captionHeight = 26;
  QColor captionTop, captionBottom, captionLine, captionText;
  QColor captionShadow;  // invalid: none
  QColor frame;
  QColor frameHighlight;  // invalid: none
  // Caption buttons
  QColor capGlyph, capHot, capDown, capCloseHot;
  // Player controls strip and bitmap buttons
  QColor panelTop, panelBottom, panelEdge, panelShine, well, wellRing;
  QColor glyph, glyphHot;
  // Logo
  QColor coverA, coverB, disc, discGroove, discLabel;
  // Knobs
  QColor knobLight, knobDark, knobRing, knobDot;
  // List rows
  QColor rowEven, rowOdd, rowHover, rowHoverEdge, rowSelTop, rowSelBottom, rowSelEdge, rowLine;
  // Standard controls
  QColor editBack, editText, editBorder, editFocus;
  QColor selBack, selText;
  QColor buttonFace, buttonHot, buttonDown, buttonText, buttonBorder;
  QColor comboPopup;
  QColor tabBack, tabText, tabActive, tabActiveText, tabHot, tabBorder, tabPane;
  QColor scrollTrack, scrollHandle, scrollHandleHot, scrollArrow;
  QColor menuBack, menuText, menuHighlight, menuHighlightText, menuSeparator, menuBorder;
  QColor tipBack, tipText, tipBorder;
  QColor checkBox, checkBorder, checkMark;
  // skinEx.ini
  int formMaxHeight = 405, formMinHeight = 188, formWidth = 313;
  QColor gauge, gaugeBar, vol, volBar, alpha, alphaBar, timeLabel, title, titleGlow;
};

Theme GraphiteTheme();
Theme JadeTheme();

}  // namespace skingen
