#pragma once
// Area-averaging reduction: every pixel of the smaller picture is the mean of the source area under
// it, the source pixels it covers only in part weighted by the part covered. Exact integer sums, no
// intermediate 32-bit copy of a 24-bit picture, and large pictures reduced in bands on every core.

#include <QImage>
#include <QSize>

// The picture reduced to Size, which must be no larger than the picture on either side (and not
// empty). Opaque pictures come back as Format_RGB32, pictures with alpha as
// Format_ARGB32_Premultiplied (so that transparent pixels add no colour to their neighbours). A null
// image when the result cannot be allocated.
QImage AreaAveraged(const QImage& Picture, QSize Size);
