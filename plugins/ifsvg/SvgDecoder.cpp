#include "SvgDecoder.h"

#include "ModuleError.h"
#include "PixelRows.h"
#include "SvgDocument.h"

#include <algorithm>
#include <string_view>

#include <cairo.h>

namespace tvplugin {

namespace {

constexpr int kSteps = 3;

// A cairo context drawing into the DIB's block.
class TCairoCanvas {
public:
  explicit TCairoCanvas(const TDib& dib)
      : FSurface(cairo_image_surface_create_for_data(dib.Bits(), CAIRO_FORMAT_ARGB32, dib.Width(), dib.Height(),
                                                     static_cast<int>(dib.Stride()))),
        FContext(cairo_create(FSurface)) {}
  ~TCairoCanvas() {
    cairo_destroy(FContext);
    cairo_surface_destroy(FSurface);
  }
  TCairoCanvas(const TCairoCanvas&) = delete;
  TCairoCanvas& operator=(const TCairoCanvas&) = delete;

  cairo_t* Context() const { return FContext; }
  cairo_surface_t* Surface() const { return FSurface; }

private:
  cairo_surface_t* FSurface;
  cairo_t* FContext;
};

}  // namespace

std::string TSvgDecoder::Description() const {
  return "ifsvg.spi: SVG decoder module of Tovasel (librsvg " + std::to_string(LIBRSVG_MAJOR_VERSION) + "." +
         std::to_string(LIBRSVG_MINOR_VERSION) + "." + std::to_string(LIBRSVG_MICRO_VERSION) + ")";
}

std::vector<TFileType> TSvgDecoder::FileTypes() const { return {{"*.svg", "SVG drawing"}}; }

// XML (after an optional byte-order mark and white space) whose head holds an svg element.
bool TSvgDecoder::Accepts(std::span<const uint8_t> Head) const {
  std::string_view text(reinterpret_cast<const char*>(Head.data()), Head.size());
  text = text.substr(0, text.find('\0'));
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  const size_t start = text.find_first_not_of(" \t\r\n");
  return start != std::string_view::npos && text[start] == '<' && text.find("<svg", start) != std::string_view::npos;
}

TPictureFacts TSvgDecoder::ReadFacts(std::span<const uint8_t> Image) const {
  const TSvgDocument document(Image);
  TPictureFacts facts;
  facts.Width = document.Width();
  facts.Height = document.Height();
  facts.ColorDepth = 32;
  return facts;
}

TDib TSvgDecoder::Decode(std::span<const uint8_t> Image, TDecodeSize, TProgress& Progress) const {
  Progress.Report(0, kSteps);
  const TSvgDocument document(Image);
  TDib dib(document.Width(), document.Height(), 32);
  Progress.Report(1, kSteps);
  {
    // Transparent to start with; cairo draws premultiplied blue, green, red, alpha, top-down.
    std::fill(dib.Bits(), dib.Bits() + dib.Stride() * static_cast<size_t>(dib.Height()), uint8_t{0});
    const TCairoCanvas canvas(dib);
    if (cairo_status(canvas.Context()) != CAIRO_STATUS_SUCCESS) Fail(SPI_NO_MEMORY);
    const RsvgRectangle viewport{0, 0, static_cast<double>(dib.Width()), static_cast<double>(dib.Height())};
    GError* error = nullptr;
    const gboolean drawn = rsvg_handle_render_document(document.Handle(), canvas.Context(), &viewport, &error);
    if (error != nullptr) g_error_free(error);
    if (!drawn) Fail(SPI_BROKEN_DATA);
    cairo_surface_flush(canvas.Surface());
  }
  Progress.Report(2, kSteps);
  FlipRows(dib);
  for (int32_t y = 0; y < dib.Height(); ++y) UnpremultiplyBgra(dib.Row(y), static_cast<size_t>(dib.Width()));
  Progress.Report(kSteps, kSteps);
  return dib;
}

const TDecoder& TheDecoder() {
  static const TSvgDecoder decoder;
  return decoder;
}

}  // namespace tvplugin
