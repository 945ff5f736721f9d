#include "SvgDocument.h"

#include "ModuleError.h"

#include <algorithm>
#include <cmath>

namespace tvplugin {

namespace {

bool Usable(double side) { return std::isfinite(side) && side > 0; }

}  // namespace

TSvgDocument::TSvgDocument(std::span<const uint8_t> Image) {
  GError* error = nullptr;
  FHandle = rsvg_handle_new_from_data(Image.data(), Image.size(), &error);
  if (error != nullptr) g_error_free(error);
  if (FHandle == nullptr) Fail(SPI_BROKEN_DATA);

  double width = 0, height = 0;
  if (!rsvg_handle_get_intrinsic_size_in_pixels(FHandle, &width, &height)) {
    gboolean hasWidth = FALSE, hasHeight = FALSE, hasViewBox = FALSE;
    RsvgLength declaredWidth{}, declaredHeight{};
    RsvgRectangle viewBox{};
    rsvg_handle_get_intrinsic_dimensions(FHandle, &hasWidth, &declaredWidth, &hasHeight, &declaredHeight, &hasViewBox, &viewBox);
    if (hasViewBox && Usable(viewBox.width) && Usable(viewBox.height)) {
      const double scale = std::max(1.0, kDefaultLongerSide / std::max(viewBox.width, viewBox.height));
      width = viewBox.width * scale;
      height = viewBox.height * scale;
    } else {
      // Without a viewBox user units are pixels: take the extent of what is drawn.
      const RsvgRectangle viewport{0, 0, kDefaultLongerSide, kDefaultLongerSide};
      RsvgRectangle ink{}, logical{};
      if (rsvg_handle_get_geometry_for_layer(FHandle, nullptr, &viewport, &ink, &logical, &error)) {
        width = ink.x + ink.width;
        height = ink.y + ink.height;
      }
      if (error != nullptr) g_error_free(error);
    }
  }
  if (!Usable(width) || !Usable(height)) {
    g_object_unref(FHandle);
    Fail(SPI_BROKEN_DATA);
  }
  const double shrink = std::min(1.0, kLargestSide / std::max(width, height));
  FWidth = static_cast<int32_t>(std::clamp(std::ceil(width * shrink - 1e-6), 1.0, kLargestSide));
  FHeight = static_cast<int32_t>(std::clamp(std::ceil(height * shrink - 1e-6), 1.0, kLargestSide));
}

TSvgDocument::~TSvgDocument() { g_object_unref(FHandle); }

}  // namespace tvplugin
