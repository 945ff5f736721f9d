#pragma once
// The host's progress callback: a module reports how far it is and stops when the host answers 1.
// Reports are thinned to about one per 1/64 of the work, so a callback never costs more than a row.

#include "spi/SusieAbi.h"

#include <cstdint>

namespace tvplugin {

class TProgress {
public:
  TProgress(TProgressCallback Callback, intptr_t Data) : FCallback(Callback), FData(Data) {}

  // Done of Total units. Raises EModuleError(SPI_ABORTED) when the host says stop.
  void Report(int64_t Done, int64_t Total);

private:
  TProgressCallback FCallback;
  intptr_t FData;
  int64_t FLastDone = -1;
  int64_t FLastTotal = -1;
};

}  // namespace tvplugin
