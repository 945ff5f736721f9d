#include "Progress.h"

#include "ModuleError.h"

#include <algorithm>

namespace tvplugin {

void TProgress::Report(int64_t Done, int64_t Total) {
  if (FCallback == nullptr || Total <= 0) return;
  Done = std::clamp<int64_t>(Done, 0, Total);
  const int64_t step = std::max<int64_t>(Total / 64, 1);
  const bool due = Total != FLastTotal || Done == 0 || Done == Total || Done - FLastDone >= step;
  if (!due) return;
  FLastDone = Done;
  FLastTotal = Total;
  // The interface counts in int32: scale large totals down together.
  int64_t num = Done, den = Total;
  while (den > INT32_MAX) {
    num /= 2;
    den /= 2;
  }
  if (FCallback(static_cast<int32_t>(num), static_cast<int32_t>(den), FData) != 0) Fail(SPI_ABORTED);
}

}  // namespace tvplugin
