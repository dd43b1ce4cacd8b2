// Dialog units: the window layouts give positions and sizes in units of the window's font, a
// quarter of its average character width across and an eighth of its character height down,
// so that a layout keeps its proportions and the stacking of its controls whatever font the
// system substitutes.
//
// The fonts the layouts name ("MS Sans Serif", "Tahoma") are rarely installed outside the
// system they come from; window_font() then takes a sans font that has Cyrillic glyphs, so
// the program's Russian text stays readable.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>

namespace orvel::platform::toolkit {

// The font of that family and point size, or the first installed sans font with Cyrillic
// glyphs in its place (the toolkit's default sans font when there is none).
QFont window_font(const QString& family, int points, bool bold = false);

class DialogUnits {
 public:
  // Measures the font: the average width of the 52 Latin letters, and its height.
  explicit DialogUnits(const QFont& font);
  // From the two base values in pixels, for tests and fixed layouts.
  DialogUnits(int char_width, int char_height);

  int char_width() const { return char_width_; }
  int char_height() const { return char_height_; }

  // Pixels of a horizontal and of a vertical distance in dialog units, rounded.
  int x(int units) const;
  int y(int units) const;
  QRect rect(int x, int y, int width, int height) const;
  QSize size(int width, int height) const;

 private:
  int char_width_;
  int char_height_;
};

}  // namespace orvel::platform::toolkit
