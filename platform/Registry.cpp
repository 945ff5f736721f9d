#include "Registry.h"

#include "IniFile.h"

#include <cstdlib>

namespace {

std::string Trimmed(const std::string& text, const char* characters) {
  const size_t first = text.find_first_not_of(characters);
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(characters) - first + 1);
}

// The key path as its section is named: without blanks or '\' around it.
std::string SectionOf(const std::string& key) { return Trimmed(Trimmed(key, " \t"), "\\"); }

}  // namespace

std::string TRegistry::StoreFileName() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string folder;
  if (config && *config == '/') folder = config;
  else if (const char* home = std::getenv("HOME")) folder = std::string(home) + "/.config";
  else return "";
  return folder + "/Tovasel/registry.ini";
}

bool TRegistry::OpenKeyReadOnly(const std::string& Key) {
  CloseKey();
  const std::string fileName = StoreFileName();
  const std::string section = SectionOf(Key);
  if (fileName.empty() || !TIniFile(fileName).SectionExists(section)) return false;
  FFileName = fileName;
  FSection = section;
  return true;
}

void TRegistry::CloseKey() {
  FFileName.reset();
  FSection.clear();
}

std::string TRegistry::ReadString(const std::string& Name) const {
  if (!FFileName) throw ERegistryException("Failed to get data for '" + Name + "'");
  return TIniFile(*FFileName).ReadString(FSection, Name, "");
}
