#include "ViewerState.h"

std::string BuildGazoMask() {
  std::string mask;
  for (std::string_view extension : gazoExt) {
    if (!mask.empty()) mask += ';';
    mask += '*';
    mask += extension;
  }
  return mask;
}
