#pragma once
// The registry, read only. Keys of HKEY_CURRENT_USER come from a per-user INI file,
// $XDG_CONFIG_HOME/Tovasel/registry.ini (~/.config when the variable is not set), one section a key
// path, as in
//
//   [Software\Vendor\Product\Key]
//   Value=text
//
// Key paths and value names are compared without regard to case; every value is a string. The file is
// read through TIniFile, so it follows the rules of settings files.

#include "Exceptions.h"

#include <optional>
#include <string>

TV_DECLARE_EXCEPTION(ERegistryException, Exception)

class TRegistry {
public:
  // The file the keys are read from.
  static std::string StoreFileName();

  // Opens a key, a leading '\' or not; false when the store or the key does not exist.
  bool OpenKeyReadOnly(const std::string& Key);
  void CloseKey();
  // The value's text; "" when the open key has no such value. Raises ERegistryException when no
  // key is open.
  std::string ReadString(const std::string& Name) const;

private:
  // The store and the open key's section; no file while no key is open.
  std::optional<std::string> FFileName;
  std::string FSection;
};
