// The tool bar's and menu's icons, loaded from the program's resources.

#include "app/ImageList.h"

#include <QImage>
#include <QPixmap>
#include <gtest/gtest.h>

#include <vector>

namespace {

// The icon's pixmap for a square of Side pixels, as 32-bit ARGB for comparing pixels.
QImage IconImage(int Index, int Side) {
  return ImageList1Icon(Index).pixmap(Side, Side).toImage().convertToFormat(QImage::Format_ARGB32);
}

int VisiblePixels(const QImage& image) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) count += qAlpha(image.pixel(x, y)) > 0;
  return count;
}

}  // namespace

TEST(ImageList1, EveryIconHasADrawingAtBothSizes) {
  for (int index = 0; index < kImageList1Count; ++index) {
    SCOPED_TRACE(index);
    ASSERT_FALSE(ImageList1Icon(index).isNull());
    for (const int side : {16, 32}) {
      SCOPED_TRACE(side);
      // QIcon never scales a pixmap up, so a 32-pixel answer is the 32-pixel drawing itself.
      const QImage image = IconImage(index, side);
      ASSERT_EQ(image.size(), QSize(side, side));
      // A real drawing covers a fair part of its square, not a stray pixel.
      EXPECT_GT(VisiblePixels(image), side * side / 10);
    }
  }
}

TEST(ImageList1, NoTwoIconsAreAlike) {
  for (const int side : {16, 32}) {
    std::vector<QImage> images;
    for (int index = 0; index < kImageList1Count; ++index) images.push_back(IconImage(index, side));
    for (int a = 0; a < kImageList1Count; ++a)
      for (int b = a + 1; b < kImageList1Count; ++b)
        EXPECT_NE(images[a], images[b]) << "icons " << a << " and " << b << " at " << side << " pixels";
  }
}

TEST(ImageList1, IndexOutsideTheListGivesANullIcon) {
  for (const int index : {-1, kImageList1Count, 1000}) EXPECT_TRUE(ImageList1Icon(index).isNull()) << index;
}
