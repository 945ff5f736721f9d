#include "IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

namespace {

constexpr size_t kMaxValueCodePoints = 2047;
constexpr const char* kBlanks = " \t";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

// One line of the file, kept byte for byte (without its line break) so that a rewrite changes only the
// line of the key written.
struct TLine {
  enum class TKind { Other, Section, Key };
  TKind Kind = TKind::Other;
  std::string_view Name;   // the section's or the key's name, trimmed
  std::string_view Value;  // the key's raw value, trimmed
};

TLine ParseLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const std::string_view text = Trimmed(line);
  if (text.empty() || text.front() == ';') return {};
  if (text.front() == '[') {
    const size_t close = text.find(']');
    if (close == std::string_view::npos) return {};
    return {TLine::TKind::Section, Trimmed(text.substr(1, close - 1)), {}};
  }
  const size_t equals = text.find('=');
  if (equals == std::string_view::npos) return {};
  return {TLine::TKind::Key, Trimmed(text.substr(0, equals)), Trimmed(text.substr(equals + 1))};
}

// The file's content as it is now; empty when it is missing or cannot be read.
std::string ContentOf(const std::string& fileName) {
  std::ifstream file(fileName, std::ios::binary);
  if (!file) return {};
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

// The file split into lines; the byte-order mark stays in front of the first line.
struct TLines {
  std::string Content;
  std::vector<std::string_view> Lines;
  bool EndsWithLineBreak = true;
  std::string LineBreak = "\n";

  explicit TLines(std::string content) : Content(std::move(content)) {
    std::string_view rest = Content;
    EndsWithLineBreak = rest.empty() || rest.back() == '\n';
    while (!rest.empty()) {
      const size_t end = rest.find('\n');
      Lines.push_back(rest.substr(0, end));
      if (end == std::string_view::npos) break;
      rest.remove_prefix(end + 1);
    }
    if (!Lines.empty() && !Lines.front().empty() && Lines.front().back() == '\r') LineBreak = "\r\n";
  }

  TLine Parsed(size_t index) const {
    std::string_view line = Lines[index];
    if (index == 0 && line.starts_with(kByteOrderMark)) line.remove_prefix(kByteOrderMark.size());
    return ParseLine(line);
  }
};

struct TKeyPlace {
  std::optional<size_t> SectionLine;  // the header of the section's first occurrence
  std::optional<size_t> KeyLine;      // the key's first occurrence in it
  size_t LastLineOfSection = 0;       // where a new key goes after: its last key, else its header
};

TKeyPlace FindKey(const TLines& lines, std::string_view section, std::string_view ident) {
  TKeyPlace place;
  for (size_t i = 0; i < lines.Lines.size(); ++i) {
    const TLine line = lines.Parsed(i);
    if (line.Kind == TLine::TKind::Section) {
      if (place.SectionLine) break;
      if (SameName(line.Name, section)) {
        place.SectionLine = i;
        place.LastLineOfSection = i;
      }
    } else if (line.Kind == TLine::TKind::Key && place.SectionLine) {
      place.LastLineOfSection = i;
      if (SameName(line.Name, ident)) {
        place.KeyLine = i;
        break;
      }
    }
  }
  return place;
}

std::string Unquoted(std::string_view value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
  return std::string(value);
}

// The first Count code points of UTF-8 text; a stray byte counts as one.
std::string FirstCodePoints(std::string text, size_t count) {
  size_t codePoints = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80 && i > 0) continue;
    if (codePoints++ == count) {
      text.resize(i);
      break;
    }
  }
  return text;
}

// A value that would change on reading back (surrounding blanks, or quotes of its own) is written in
// quotes, so every string without a line break survives the round trip.
std::string StoredValue(const std::string& value) {
  const bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
  if (quoted || Trimmed(value).size() != value.size()) return '"' + value + '"';
  return value;
}

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

void CheckNames(const std::string& section, const std::string& ident, const std::string& value) {
  const std::string_view trimmedIdent = Trimmed(ident);
  if (HasLineBreak(section) || section.find(']') != std::string::npos || Trimmed(section).size() != section.size())
    throw EIniFileException("Invalid section name: " + section);
  if (trimmedIdent.empty() || trimmedIdent.size() != ident.size() || HasLineBreak(ident) ||
      ident.find('=') != std::string::npos || ident.front() == ';' || ident.front() == '[')
    throw EIniFileException("Invalid key name: " + ident);
  if (HasLineBreak(value)) throw EIniFileException("A value cannot hold a line break: " + ident);
}

// The file that a write replaces: a symbolic link is followed so that the link itself stays.
std::string TargetOf(const std::string& fileName) {
  char* resolved = ::realpath(fileName.c_str(), nullptr);
  if (!resolved) return fileName;
  std::string target(resolved);
  std::free(resolved);
  return target;
}

// Writes Content to a new file beside Target and renames it over Target, keeping Target's permission
// bits. False when any step fails; nothing is left behind then.
bool ReplaceFile(const std::string& target, const std::string& content) {
  static std::atomic<unsigned> counter{0};
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;

  std::string temporary;
  int descriptor = -1;
  for (int attempt = 0; attempt < 100 && descriptor < 0; ++attempt) {
    temporary = folder + "." + base + "." + std::to_string(::getpid()) + "." + std::to_string(counter++) + ".tmp";
    // 0666 less the umask: a new file gets the permissions any new file of this user gets.
    descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor < 0 && errno != EEXIST) return false;
  }
  if (descriptor < 0) return false;

  bool written = !exists || ::fchmod(descriptor, existing.st_mode & 07777) == 0;
  for (size_t done = 0; written && done < content.size();) {
    const ssize_t n = ::write(descriptor, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) written = false;
    else done += static_cast<size_t>(n);
  }
  written = written && ::fsync(descriptor) == 0;
  written = ::close(descriptor) == 0 && written;
  written = written && ::rename(temporary.c_str(), target.c_str()) == 0;
  if (!written) ::unlink(temporary.c_str());
  return written;
}

}  // namespace

TIniFile::TIniFile(std::string FileName) : FFileName(std::move(FileName)) {}

std::string TIniFile::ReadString(const std::string& Section, const std::string& Ident, const std::string& Default) const {
  const TLines lines(ContentOf(FFileName));
  const TKeyPlace place = FindKey(lines, Trimmed(Section), Trimmed(Ident));
  if (!place.KeyLine) return Default;
  return FirstCodePoints(Unquoted(lines.Parsed(*place.KeyLine).Value), kMaxValueCodePoints);
}

int32_t TIniFile::ReadInteger(const std::string& Section, const std::string& Ident, int32_t Default) const {
  const std::string text = ReadString(Section, Ident, "");
  std::string_view digits = text;
  bool negative = false;
  if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  int base = 10;
  if (digits.starts_with("0x") || digits.starts_with("0X")) {
    base = 16;
    digits.remove_prefix(2);
  } else if (digits.starts_with("$")) {
    base = 16;
    digits.remove_prefix(1);
  }
  if (digits.empty() || digits.front() == '-' || digits.front() == '+') return Default;
  uint64_t magnitude = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
  if (error != std::errc() || end != digits.data() + digits.size()) return Default;
  if (base == 16) {
    // Hexadecimal is a 32-bit pattern: $FFFFFFFF is -1.
    if (magnitude > UINT32_MAX) return Default;
    const auto pattern = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
    return negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(pattern)) : pattern;
  }
  if (magnitude > (negative ? uint64_t{1} << 31 : uint64_t{INT32_MAX})) return Default;
  return static_cast<int32_t>(negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude));
}

bool TIniFile::SectionExists(const std::string& Section) const {
  const TLines lines(ContentOf(FFileName));
  for (size_t i = 0; i < lines.Lines.size(); ++i) {
    const TLine line = lines.Parsed(i);
    if (line.Kind == TLine::TKind::Section && SameName(line.Name, Trimmed(Section))) return true;
  }
  return false;
}

void TIniFile::WriteString(const std::string& Section, const std::string& Ident, const std::string& Value) {
  CheckNames(Section, Ident, Value);
  const std::string target = TargetOf(FFileName);
  const TLines lines(ContentOf(target));
  const TKeyPlace place = FindKey(lines, Section, Ident);
  const std::string keyLine = Ident + "=" + StoredValue(Value);

  std::string content;
  content.reserve(lines.Content.size() + keyLine.size() + Section.size() + 8);
  const auto append = [&](std::string_view line) {
    content.append(line);
    if (!line.empty() && line.back() == '\r') content.pop_back();
    content += lines.LineBreak;
  };
  for (size_t i = 0; i < lines.Lines.size(); ++i) {
    if (place.KeyLine == i) {
      if (i == 0 && lines.Lines[0].starts_with(kByteOrderMark)) content += kByteOrderMark;
      append(keyLine);
      continue;
    }
    append(lines.Lines[i]);
    if (place.SectionLine && !place.KeyLine && i == place.LastLineOfSection) append(keyLine);
  }
  if (!place.SectionLine) {
    append("[" + Section + "]");
    append(keyLine);
  }
  // A file that ended without a line break keeps ending so, unless a line was added at its end.
  const bool addedAtEnd = !place.SectionLine || (!place.KeyLine && place.LastLineOfSection + 1 == lines.Lines.size());
  if (!lines.EndsWithLineBreak && !addedAtEnd) content.resize(content.size() - lines.LineBreak.size());

  if (!ReplaceFile(target, content)) throw EIniFileException("Unable to write to " + FFileName);
}

void TIniFile::WriteInteger(const std::string& Section, const std::string& Ident, int32_t Value) {
  WriteString(Section, Ident, std::to_string(Value));
}
