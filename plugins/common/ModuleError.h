#pragma once
// A failure inside a module, carrying the result code the module answers with. Only the module edge
// catches it; nothing of it crosses the interface.

#include "spi/SusieAbi.h"

#include <cstdint>

namespace tvplugin {

class EModuleError {
public:
  explicit EModuleError(int32_t code) : FCode(code) {}
  int32_t Code() const { return FCode; }

private:
  int32_t FCode;
};

[[noreturn]] inline void Fail(int32_t code) { throw EModuleError(code); }

}  // namespace tvplugin
