#pragma once
// The first frame of a GIF through giflib, read record by record so that the frames after it are
// never decoded: its place on the logical screen, its colours and its transparent index.

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include <gif_lib.h>

namespace tvplugin {

class TGifFirstFrame {
public:
  // Opens the GIF and reads the records up to the first frame's descriptor. Raises EModuleError.
  explicit TGifFirstFrame(std::span<const uint8_t> Image);
  ~TGifFirstFrame();
  TGifFirstFrame(const TGifFirstFrame&) = delete;
  TGifFirstFrame& operator=(const TGifFirstFrame&) = delete;

  // The canvas: the logical screen, grown to hold the frame where it lies outside.
  int32_t CanvasWidth() const { return FCanvasWidth; }
  int32_t CanvasHeight() const { return FCanvasHeight; }
  // Transparent pixels, or a frame that leaves part of the canvas uncovered.
  bool HasTransparency() const;
  int BitsPerPixel() const { return FColors->BitsPerPixel; }
  // Writes the canvas as blue, green, red (, alpha) rows through Row(y), y from the top; OnRow is
  // called after each decoded row of the frame.
  template <class TRow, class TOnRow>
  void Render(TRow&& Row, int Bytes, TOnRow&& OnRow);

  int32_t FrameHeight() const { return FFrameHeight; }

private:
  void ReadLine(std::vector<GifPixelType>& Line);

  GifFileType* FGif = nullptr;
  std::span<const uint8_t> FImage;
  size_t FPosition = 0;
  const ColorMapObject* FColors = nullptr;
  int FTransparent = NO_TRANSPARENT_COLOR;
  int32_t FLeft = 0, FTop = 0, FFrameWidth = 0, FFrameHeight = 0;
  int32_t FCanvasWidth = 0, FCanvasHeight = 0;
  bool FInterlaced = false;

  static int Read(GifFileType* gif, GifByteType* data, int length);
};

template <class TRow, class TOnRow>
void TGifFirstFrame::Render(TRow&& Row, int Bytes, TOnRow&& OnRow) {
  // Outside the frame the canvas is transparent (or black where the picture has no alpha).
  for (int32_t y = 0; y < FCanvasHeight; ++y) {
    std::memset(Row(y), 0, static_cast<size_t>(FCanvasWidth) * Bytes);
  }
  static constexpr int kStart[] = {0, 4, 2, 1};
  static constexpr int kStep[] = {8, 8, 4, 2};
  std::vector<GifPixelType> line(static_cast<size_t>(FFrameWidth));
  const int passes = FInterlaced ? 4 : 1;
  int32_t done = 0;
  for (int pass = 0; pass < passes; ++pass)
    for (int32_t y = FInterlaced ? kStart[pass] : 0; y < FFrameHeight; y += FInterlaced ? kStep[pass] : 1) {
      ReadLine(line);
      uint8_t* target = Row(FTop + y) + static_cast<size_t>(FLeft) * Bytes;
      for (int32_t x = 0; x < FFrameWidth; ++x, target += Bytes) {
        const int index = line[static_cast<size_t>(x)];
        if (index == FTransparent) continue;
        // An index past the colour table shows black, as browsers do.
        const GifColorType color = index < FColors->ColorCount ? FColors->Colors[index] : GifColorType{0, 0, 0};
        target[0] = color.Blue;
        target[1] = color.Green;
        target[2] = color.Red;
        if (Bytes == 4) target[3] = 255;
      }
      OnRow(++done);
    }
}

}  // namespace tvplugin
