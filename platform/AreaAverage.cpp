#include "AreaAverage.h"

#include <algorithm>
#include <cstdint>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// Where one pixel of the result lies over the source along one axis. Lengths are counted in units
// of 1/Result of a source pixel, so that every boundary falls on a whole unit: a source pixel is
// Result units long, a result pixel Source units. The result pixel covers source pixels
// First..Last, the first for FirstWeight units, the last for LastWeight, each between them whole.
struct TSpan {
  int First;
  int Last;
  uint32_t FirstWeight;
  uint32_t LastWeight;
};

std::vector<TSpan> Spans(int source, int result) {
  std::vector<TSpan> spans(static_cast<size_t>(result));
  for (int d = 0; d < result; ++d) {
    const int64_t start = int64_t{d} * source;
    const int64_t end = start + source;
    TSpan& span = spans[static_cast<size_t>(d)];
    span.First = static_cast<int>(start / result);
    span.Last = static_cast<int>((end - 1) / result);
    if (span.First == span.Last) {
      span.FirstWeight = static_cast<uint32_t>(end - start);
      span.LastWeight = 0;
    } else {
      span.FirstWeight = static_cast<uint32_t>(int64_t{span.First + 1} * result - start);
      span.LastWeight = static_cast<uint32_t>(end - int64_t{span.Last} * result);
    }
  }
  return spans;
}

// How the source's bytes are read: pixels of 3 or 4 bytes, 3 colour channels or 4 with alpha, in
// blue-green-red order or the reverse. Straight alpha is premultiplied row by row as it is read.
enum class TLayout { Bgr24, Rgb24, Bgr32, Bgra32, Bgra32Premultiplied };

// The reduction of the result rows [Top, Bottom): for each, the source rows under it are summed
// down, weighted, byte by byte (a loop over whole rows the compiler vectorises), and the sums then
// reduced across once. Sums down stay below 2^32 for sources up to 16 million rows; sums across
// are 64-bit.
class TReduction {
public:
  TReduction(const QImage& source, QImage& result, TLayout layout)
      : FSource(source), FResult(result), FLayout(layout),
        FAcross(Spans(source.width(), result.width())), FDown(Spans(source.height(), result.height())),
        FScale(1.0 / (static_cast<double>(source.width()) * source.height())) {}

  void Run(int top, int bottom) const {
    switch (FLayout) {
      case TLayout::Bgr24:
      case TLayout::Rgb24: Rows<3, 3>(top, bottom); break;
      case TLayout::Bgr32: Rows<4, 3>(top, bottom); break;
      case TLayout::Bgra32:
      case TLayout::Bgra32Premultiplied: Rows<4, 4>(top, bottom); break;
    }
  }

private:
  template <int Bytes, int Channels>
  void Rows(int top, int bottom) const {
    const size_t rowBytes = static_cast<size_t>(FSource.width()) * Bytes;
    const auto wholeDown = static_cast<uint32_t>(FResult.height());
    std::vector<uint32_t> down(rowBytes);
    std::vector<QRgb> premultiplied(FLayout == TLayout::Bgra32 ? static_cast<size_t>(FSource.width()) : 0);
    for (int y = top; y < bottom; ++y) {
      const TSpan& span = FDown[static_cast<size_t>(y)];
      for (int row = span.First; row <= span.Last; ++row) {
        const uint32_t weight = row == span.First ? span.FirstWeight : row == span.Last ? span.LastWeight : wholeDown;
        const uint8_t* line = SourceRow(row, premultiplied);
        uint32_t* sums = down.data();
        if (row == span.First)
          for (size_t i = 0; i < rowBytes; ++i) sums[i] = weight * line[i];
        else
          for (size_t i = 0; i < rowBytes; ++i) sums[i] += weight * line[i];
      }
      Across<Bytes, Channels>(down.data(), reinterpret_cast<uint32_t*>(FResult.scanLine(y)));
    }
  }

  const uint8_t* SourceRow(int row, std::vector<QRgb>& premultiplied) const {
    const uint8_t* line = FSource.constScanLine(row);
    if (premultiplied.empty()) return line;
    const auto* pixels = reinterpret_cast<const QRgb*>(line);
    std::transform(pixels, pixels + premultiplied.size(), premultiplied.begin(), [](QRgb pixel) { return qPremultiply(pixel); });
    return reinterpret_cast<const uint8_t*>(premultiplied.data());
  }

  // One result row from the sums down: each pixel the weighted sum of the columns under it, scaled
  // to a mean.
  template <int Bytes, int Channels>
  void Across(const uint32_t* down, uint32_t* out) const {
    const bool reversed = FLayout == TLayout::Rgb24;
    const auto wholeAcross = static_cast<uint64_t>(FResult.width());
    for (const TSpan& span : FAcross) {
      uint64_t inner[Channels] = {};
      for (int x = span.First + 1; x < span.Last; ++x)
        for (int c = 0; c < Channels; ++c) inner[c] += down[static_cast<size_t>(x) * Bytes + c];
      uint32_t mean[4] = {0, 0, 0, 0xFFu};
      for (int c = 0; c < Channels; ++c) {
        uint64_t sum = uint64_t{span.FirstWeight} * down[static_cast<size_t>(span.First) * Bytes + c] + inner[c] * wholeAcross;
        if (span.Last != span.First) sum += uint64_t{span.LastWeight} * down[static_cast<size_t>(span.Last) * Bytes + c];
        mean[c] = static_cast<uint32_t>(static_cast<double>(sum) * FScale + 0.5);
      }
      *out++ = mean[3] << 24 | mean[reversed ? 0 : 2] << 16 | mean[1] << 8 | mean[reversed ? 2 : 0];
    }
  }

  const QImage& FSource;
  QImage& FResult;
  TLayout FLayout;
  std::vector<TSpan> FAcross;
  std::vector<TSpan> FDown;
  double FScale;  // 1 / the sum of the weights under one result pixel
};

// Below this many source pixels a second thread costs more than it saves.
constexpr int64_t kPixelsForBands = 1 << 20;

}  // namespace

QImage AreaAveraged(const QImage& Picture, QSize Size) {
  if (Picture.isNull() || Size.isEmpty()) return QImage();
  QImage source = Picture;
  TLayout layout;
  switch (source.format()) {
    case QImage::Format_BGR888: layout = TLayout::Bgr24; break;
    case QImage::Format_RGB888: layout = TLayout::Rgb24; break;
    case QImage::Format_RGB32: layout = TLayout::Bgr32; break;
    case QImage::Format_ARGB32: layout = TLayout::Bgra32; break;
    case QImage::Format_ARGB32_Premultiplied: layout = TLayout::Bgra32Premultiplied; break;
    default:
      source = source.convertToFormat(source.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
      if (source.isNull()) return QImage();
      layout = source.hasAlphaChannel() ? TLayout::Bgra32Premultiplied : TLayout::Bgr32;
  }
  const bool alpha = layout == TLayout::Bgra32 || layout == TLayout::Bgra32Premultiplied;
  QImage result(Size, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
  if (result.isNull()) return result;
  const TReduction reduction(source, result, layout);

  const int64_t pixels = int64_t{source.width()} * source.height();
  const int bands = pixels < kPixelsForBands
                        ? 1
                        : std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, std::min(8, Size.height()));
  const auto run = [&](int band) { reduction.Run(Size.height() * band / bands, Size.height() * (band + 1) / bands); };
  std::vector<std::thread> helpers;
  for (int band = 1; band < bands; ++band) {
    try {
      helpers.emplace_back(run, band);
    } catch (const std::system_error&) {
      run(band);  // no thread to be had: this one does the band
    }
  }
  run(0);
  for (std::thread& helper : helpers) helper.join();
  return result;
}
