// Area-averaging reduction: exact means with partly covered pixels, every source format alike, alpha
// premultiplied, and a large picture reduced in bands equal to a plain reference.

#include "platform/AreaAverage.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <cmath>
#include <vector>

namespace {

QImage Gray(const std::vector<std::vector<int>>& rows) {
  QImage image(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), QImage::Format_RGB32);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, qRgb(rows[y][x], rows[y][x], rows[y][x]));
  return image;
}

std::vector<std::vector<int>> Grays(const QImage& image) {
  std::vector<std::vector<int>> rows(static_cast<size_t>(image.height()));
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) rows[y].push_back(qGreen(image.pixel(x, y)));
  return rows;
}

// The mean of the source area under result pixel (x, y) of one channel, computed the plain way.
double ReferenceMean(const QImage& source, QSize size, int x, int y, int shift) {
  const double sx = static_cast<double>(source.width()) / size.width();
  const double sy = static_cast<double>(source.height()) / size.height();
  double sum = 0;
  for (int row = static_cast<int>(y * sy); row < std::min<double>(source.height(), std::ceil((y + 1) * sy)); ++row) {
    const double down = std::min<double>(row + 1, (y + 1) * sy) - std::max<double>(row, y * sy);
    for (int col = static_cast<int>(x * sx); col < std::min<double>(source.width(), std::ceil((x + 1) * sx)); ++col) {
      const double across = std::min<double>(col + 1, (x + 1) * sx) - std::max<double>(col, x * sx);
      sum += down * across * ((source.pixel(col, row) >> shift) & 0xFF);
    }
  }
  return sum / (sx * sy);
}

TEST(AreaAverage, PartlyCoveredPixelsCountByTheirPart) {
  struct TCase {
    const char* Name;
    std::vector<std::vector<int>> Source;
    QSize Size;
    std::vector<std::vector<int>> Expected;
  };
  const TCase cases[] = {
      {"halves", {{0, 255, 0, 255}}, {2, 1}, {{128, 128}}},
      {"thirds: the middle pixel split", {{0, 90, 180}}, {2, 1}, {{30, 150}}},
      {"down as across", {{0}, {90}, {180}}, {1, 2}, {{30}, {150}}},
      {"both ways", {{0, 30, 60}, {90, 120, 150}, {180, 210, 240}}, {2, 2}, {{40, 80}, {160, 200}}},
      {"all into one", {{10, 20}, {30, 40}}, {1, 1}, {{25}}},
      {"same size", {{7, 8}, {9, 10}}, {2, 2}, {{7, 8}, {9, 10}}},
  };
  for (const TCase& c : cases) {
    const QImage result = AreaAveraged(Gray(c.Source), c.Size);
    ASSERT_EQ(result.size(), c.Size) << c.Name;
    EXPECT_EQ(result.format(), QImage::Format_RGB32) << c.Name;
    EXPECT_EQ(Grays(result), c.Expected) << c.Name;
  }
}

TEST(AreaAverage, EverySourceFormatGivesTheSameResult) {
  QImage reference(37, 23, QImage::Format_RGB32);
  QRandomGenerator random(7);
  for (int y = 0; y < reference.height(); ++y)
    for (int x = 0; x < reference.width(); ++x) reference.setPixel(x, y, 0xFF000000u | (random.generate() & 0xFFFFFFu));
  const QImage expected = AreaAveraged(reference, {10, 6});
  for (const QImage::Format format : {QImage::Format_BGR888, QImage::Format_RGB888, QImage::Format_ARGB32,
                                      QImage::Format_ARGB32_Premultiplied, QImage::Format_RGBX8888, QImage::Format_RGB16}) {
    const QImage source = reference.convertToFormat(format);
    const QImage result = AreaAveraged(source, {10, 6}).convertToFormat(QImage::Format_RGB32);
    if (format == QImage::Format_RGB16) {
      EXPECT_EQ(result, AreaAveraged(source.convertToFormat(QImage::Format_RGB32), {10, 6})) << "16-bit goes over to 32";
      continue;
    }
    EXPECT_EQ(result, expected) << "format " << format;
  }
}

TEST(AreaAverage, TransparentPixelsAddNoColour) {
  QImage source(2, 1, QImage::Format_ARGB32);
  source.setPixel(0, 0, qRgba(255, 0, 0, 0));    // transparent red
  source.setPixel(1, 0, qRgba(0, 0, 255, 255));  // opaque blue
  const QImage result = AreaAveraged(source, {1, 1});
  ASSERT_EQ(result.format(), QImage::Format_ARGB32_Premultiplied);
  const QRgb pixel = qUnpremultiply(result.pixel(0, 0));
  EXPECT_EQ(qAlpha(pixel), 128);
  EXPECT_EQ(qRed(pixel), 0);
  EXPECT_EQ(qBlue(pixel), 255);
}

TEST(AreaAverage, LargePictureReducedInBandsMatchesThePlainMean) {
  // Over a million pixels, so the rows are shared out between threads; sides that divide unevenly.
  QImage source(1531, 1093, QImage::Format_BGR888);
  QRandomGenerator random(11);
  for (int y = 0; y < source.height(); ++y) {
    uint8_t* line = source.scanLine(y);
    for (int x = 0; x < source.width() * 3; ++x) line[x] = static_cast<uint8_t>((x / 3 + y) % 256 ^ (random.generate() & 31));
  }
  const QSize size(217, 163);
  const QImage result = AreaAveraged(source, size);
  ASSERT_EQ(result.size(), size);
  const QImage wide = source.convertToFormat(QImage::Format_RGB32);
  int worst = 0;
  for (int y = 0; y < size.height(); y += 3)
    for (int x = 0; x < size.width(); x += 3)
      for (const int shift : {0, 8, 16})
        worst = std::max(worst, static_cast<int>(std::abs(((result.pixel(x, y) >> shift) & 0xFF) -
                                                          std::lround(ReferenceMean(wide, size, x, y, shift)))));
  EXPECT_LE(worst, 1) << "rounding apart, every result pixel is the mean of its area";
}

}  // namespace
