#pragma once
// Signature checks on the head buffer of IsSupported.

#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

namespace tvplugin {

inline bool StartsWith(std::span<const uint8_t> Head, std::string_view Signature, size_t Offset = 0) {
  return Head.size() >= Offset + Signature.size() && std::memcmp(Head.data() + Offset, Signature.data(), Signature.size()) == 0;
}

}  // namespace tvplugin
