#pragma once
// The size of a picture fitted into a box with its aspect ratio kept: limited by the width when the
// picture is relatively wider than the box, else by the height; rounded half to even. A side that
// comes from a non-finite ratio (a zero side somewhere) is 0.

#include <QSize>

QSize FitSize(int PictureWidth, int PictureHeight, int BoxWidth, int BoxHeight);
