#include "GifFirstFrame.h"

#include "CheckedSize.h"

#include <algorithm>
#include <cstring>

namespace tvplugin {

TGifFirstFrame::TGifFirstFrame(std::span<const uint8_t> Image) : FImage(Image) {
  int error = 0;
  FGif = DGifOpen(this, Read, &error);
  if (FGif == nullptr) Fail(error == D_GIF_ERR_NOT_ENOUGH_MEM ? SPI_NO_MEMORY : SPI_BROKEN_DATA);
  try {
    for (;;) {
      GifRecordType record;
      if (DGifGetRecordType(FGif, &record) == GIF_ERROR) Fail(SPI_BROKEN_DATA);
      if (record == TERMINATE_RECORD_TYPE) Fail(SPI_BROKEN_DATA);  // no frame at all
      if (record == EXTENSION_RECORD_TYPE) {
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(FGif, &code, &block) == GIF_ERROR) Fail(SPI_BROKEN_DATA);
        if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4) {
          GraphicsControlBlock control;
          if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) FTransparent = control.TransparentColor;
        }
        while (block != nullptr)
          if (DGifGetExtensionNext(FGif, &block) == GIF_ERROR) Fail(SPI_BROKEN_DATA);
        continue;
      }
      if (record != IMAGE_DESC_RECORD_TYPE) Fail(SPI_BROKEN_DATA);
      if (DGifGetImageDesc(FGif) == GIF_ERROR) Fail(SPI_BROKEN_DATA);
      break;
    }
    const GifImageDesc& frame = FGif->Image;
    FColors = frame.ColorMap != nullptr ? frame.ColorMap : FGif->SColorMap;
    if (FColors == nullptr || FColors->ColorCount <= 0) Fail(SPI_BROKEN_DATA);
    if (frame.Left < 0 || frame.Top < 0 || frame.Width <= 0 || frame.Height <= 0) Fail(SPI_BROKEN_DATA);
    FLeft = frame.Left;
    FTop = frame.Top;
    FFrameWidth = frame.Width;
    FFrameHeight = frame.Height;
    FInterlaced = frame.Interlace;
    // giflib's sides are 16-bit, so these sums cannot overflow.
    FCanvasWidth = CheckedSide(std::max<int64_t>(FGif->SWidth, int64_t{FLeft} + FFrameWidth));
    FCanvasHeight = CheckedSide(std::max<int64_t>(FGif->SHeight, int64_t{FTop} + FFrameHeight));
  } catch (...) {
    DGifCloseFile(FGif, &error);
    throw;
  }
}

TGifFirstFrame::~TGifFirstFrame() {
  int error = 0;
  DGifCloseFile(FGif, &error);
}

bool TGifFirstFrame::HasTransparency() const {
  const bool covers = FLeft == 0 && FTop == 0 && FFrameWidth == FCanvasWidth && FFrameHeight == FCanvasHeight;
  return FTransparent != NO_TRANSPARENT_COLOR || !covers;
}

void TGifFirstFrame::ReadLine(std::vector<GifPixelType>& Line) {
  if (DGifGetLine(FGif, Line.data(), static_cast<int>(Line.size())) == GIF_ERROR) Fail(SPI_BROKEN_DATA);
}

int TGifFirstFrame::Read(GifFileType* gif, GifByteType* data, int length) {
  auto* self = static_cast<TGifFirstFrame*>(gif->UserData);
  const size_t count = std::min(static_cast<size_t>(std::max(length, 0)), self->FImage.size() - self->FPosition);
  std::memcpy(data, self->FImage.data() + self->FPosition, count);
  self->FPosition += count;
  return static_cast<int>(count);
}

}  // namespace tvplugin
