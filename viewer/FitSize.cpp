#include "FitSize.h"

#include <cmath>

namespace {

int RoundSide(double value) {
  if (!std::isfinite(value) || value <= 0) return 0;
  return static_cast<int>(std::nearbyint(value));  // the default rounding mode: halves to even
}

}  // namespace

QSize FitSize(int PictureWidth, int PictureHeight, int BoxWidth, int BoxHeight) {
  const double r = static_cast<double>(PictureWidth) / PictureHeight;
  const double p = static_cast<double>(BoxWidth) / BoxHeight;
  if (r > p) return QSize(BoxWidth, RoundSide(BoxWidth / r));
  return QSize(RoundSide(r * BoxHeight), BoxHeight);
}
