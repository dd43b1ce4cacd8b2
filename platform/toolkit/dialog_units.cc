#include "platform/toolkit/dialog_units.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>
#include <algorithm>

namespace orvel::platform::toolkit {
namespace {

bool usable(const QString& family) {
  return QFontDatabase::hasFamily(family) &&
         QFontDatabase::writingSystems(family).contains(QFontDatabase::Cyrillic);
}

// a * b / c rounded half away from zero, for the unit conversions.
int scale(int a, int b, int c) {
  long long product = static_cast<long long>(a) * b;
  long long half = c / 2;
  return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

QFont window_font(const QString& family, int points, bool bold) {
  static const QStringList kSubstitutes = {
      "Microsoft Sans Serif", "DejaVu Sans", "Liberation Sans", "Noto Sans", "FreeSans", "Arial"};
  QFont font;
  font.setStyleHint(QFont::SansSerif);
  if (usable(family)) {
    font.setFamily(family);
  } else {
    auto found = std::find_if(kSubstitutes.begin(), kSubstitutes.end(), usable);
    if (found != kSubstitutes.end()) font.setFamily(*found);
  }
  font.setPointSize(points);
  font.setBold(bold);
  return font;
}

DialogUnits::DialogUnits(const QFont& font) {
  QFontMetrics metrics(font);
  const int letters =
      metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  // The average over the 52 letters, rounded, as the dialog manager reckons it.
  char_width_ = std::max(1, (letters / 26 + 1) / 2);
  char_height_ = std::max(1, metrics.height());
}

DialogUnits::DialogUnits(int char_width, int char_height)
    : char_width_(std::max(1, char_width)), char_height_(std::max(1, char_height)) {}

int DialogUnits::x(int units) const {
  return scale(units, char_width_, 4);
}

int DialogUnits::y(int units) const {
  return scale(units, char_height_, 8);
}

QRect DialogUnits::rect(int x, int y, int width, int height) const {
  return QRect(this->x(x), this->y(y), this->x(width), this->y(height));
}

QSize DialogUnits::size(int width, int height) const {
  return QSize(x(width), y(height));
}

}  // namespace orvel::platform::toolkit
