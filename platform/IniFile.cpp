#include "IniFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> ReadLines(const std::string& fileName) {
  std::vector<std::string> lines;
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  if (!lines.empty() && lines[0].rfind("\xEF\xBB\xBF", 0) == 0) lines[0].erase(0, 3);
  return lines;
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// The section a line opens, if it is a section line.
bool SectionLine(const std::string& line, std::string& name) {
  const std::string text = Trimmed(line);
  if (text.size() < 2 || text.front() != '[') return false;
  const size_t close = text.find(']');
  if (close == std::string::npos) return false;
  name = Trimmed(text.substr(1, close - 1));
  return true;
}

// The key of a key line, if it is one (comments are not).
bool KeyLine(const std::string& line, std::string& key, std::string& value) {
  const std::string text = Trimmed(line);
  if (text.empty() || text[0] == ';' || text[0] == '#') return false;
  const size_t equals = text.find('=');
  if (equals == std::string::npos) return false;
  key = Trimmed(text.substr(0, equals));
  value = Trimmed(text.substr(equals + 1));
  return true;
}

// At most this many code points of a value come back.
constexpr size_t kMaxValueLength = 2047;

std::string Limited(const std::string& value) {
  size_t codePoints = 0;
  for (size_t i = 0; i < value.size(); ++i) {
    if ((static_cast<unsigned char>(value[i]) & 0xC0) == 0x80) continue;
    if (++codePoints > kMaxValueLength) return value.substr(0, i);
  }
  return value;
}

}  // namespace

TIniFile::TIniFile(std::string FileName) : FFileName(std::move(FileName)) {}

std::string TIniFile::ReadString(const std::string& Section, const std::string& Ident, const std::string& Default) const {
  bool inSection = false;
  std::string name, key, value;
  for (const std::string& line : ReadLines(FFileName)) {
    if (SectionLine(line, name)) {
      inSection = SameName(name, Section);
    } else if (inSection && KeyLine(line, key, value) && SameName(key, Ident)) {
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
      return Limited(value);
    }
  }
  return Default;
}

int32_t TIniFile::ReadInteger(const std::string& Section, const std::string& Ident, int32_t Default) const {
  const std::string text = ReadString(Section, Ident, "");
  if (text.empty()) return Default;
  size_t start = 0;
  bool negative = false;
  if (text[0] == '-' || text[0] == '+') {
    negative = text[0] == '-';
    start = 1;
  }
  int base = 10;
  if (text.compare(start, 2, "0x") == 0 || text.compare(start, 2, "0X") == 0) {
    base = 16;
    start += 2;
  } else if (text.compare(start, 1, "$") == 0) {
    base = 16;
    start += 1;
  }
  if (start >= text.size()) return Default;
  int64_t value = 0;
  for (size_t i = start; i < text.size(); ++i) {
    const char c = text[i];
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return Default;
    value = value * base + digit;
    // Hexadecimal covers the 32-bit patterns (0xFFFFFFFF reads as -1); decimal the 32-bit range.
    if (value > (base == 16 ? int64_t{0xFFFFFFFF} : int64_t{INT32_MAX} + negative)) return Default;
  }
  if (base == 16 && !negative) return static_cast<int32_t>(static_cast<uint32_t>(value));
  return static_cast<int32_t>(negative ? -value : value);
}

void TIniFile::WriteString(const std::string& Section, const std::string& Ident, const std::string& Value) {
  std::vector<std::string> lines = ReadLines(FFileName);
  const std::string entry = Ident + "=" + Value;
  bool inSection = false;
  bool written = false;
  size_t sectionEnd = std::string::npos;  // after the last key line of the section
  std::string name, key, value;
  for (size_t i = 0; i < lines.size() && !written; ++i) {
    if (SectionLine(lines[i], name)) {
      if (inSection) break;
      inSection = SameName(name, Section);
      if (inSection) sectionEnd = i + 1;
    } else if (inSection && KeyLine(lines[i], key, value)) {
      if (SameName(key, Ident)) {
        lines[i] = entry;
        written = true;
      }
      sectionEnd = i + 1;
    }
  }
  if (!written) {
    if (sectionEnd != std::string::npos) {
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(sectionEnd), entry);
    } else {
      lines.push_back("[" + Section + "]");
      lines.push_back(entry);
    }
  }

  std::ostringstream text;
  for (const std::string& line : lines) text << line << '\n';
  const std::string content = text.str();
  const std::string temporary = FFileName + ".tmp";
  const auto fail = [this](int error) {
    throw EIniFileException("Unable to write to " + FFileName + ": " + std::strerror(error));
  };
  struct stat old {};
  const bool existed = ::stat(FFileName.c_str(), &old) == 0;
  if (existed && !S_ISREG(old.st_mode)) fail(EISDIR);
  FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) fail(errno);
  const bool complete = std::fwrite(content.data(), 1, content.size(), file) == content.size();
  const int writeError = errno;
  if (std::fclose(file) != 0 || !complete) {
    std::remove(temporary.c_str());
    fail(complete ? errno : writeError);
  }
  if (existed) ::chmod(temporary.c_str(), old.st_mode & 07777);
  if (std::rename(temporary.c_str(), FFileName.c_str()) != 0) {
    const int error = errno;
    std::remove(temporary.c_str());
    fail(error);
  }
}

void TIniFile::WriteInteger(const std::string& Section, const std::string& Ident, int32_t Value) {
  WriteString(Section, Ident, std::to_string(Value));
}
