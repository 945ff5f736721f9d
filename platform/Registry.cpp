#include "Registry.h"

#include <cstdlib>
#include <fstream>

namespace {

std::string LowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trimmed(const std::string& text, const char* characters = " \t\r") {
  const size_t first = text.find_first_not_of(characters);
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(characters) - first + 1);
}

std::string KeyName(const std::string& key) { return LowerCase(Trimmed(Trimmed(key), "\\")); }

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
  std::ifstream file(StoreFileName());
  if (!file) return false;
  const std::string wanted = KeyName(Key);
  std::map<std::string, std::string> values;
  bool inKey = false;
  bool found = false;
  std::string line;
  while (std::getline(file, line)) {
    line = Trimmed(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[') {
      const size_t close = line.find(']');
      inKey = close != std::string::npos && KeyName(line.substr(1, close - 1)) == wanted;
      found = found || inKey;
      continue;
    }
    const size_t equals = line.find('=');
    if (!inKey || equals == std::string::npos) continue;
    std::string value = Trimmed(line.substr(equals + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    // The first occurrence of a name counts, as with profile files.
    values.emplace(LowerCase(Trimmed(line.substr(0, equals))), value);
  }
  if (!found) return false;
  FValues = std::move(values);
  return true;
}

void TRegistry::CloseKey() { FValues.reset(); }

std::string TRegistry::ReadString(const std::string& Name) const {
  if (!FValues) throw ERegistryException("Failed to get data for '" + Name + "'");
  const auto it = FValues->find(LowerCase(Name));
  return it == FValues->end() ? "" : it->second;
}
