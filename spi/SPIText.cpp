#include "SPIText.h"

#include <QString>

std::string ExtractFileExt(const std::string& FileName) {
  const size_t dot = FileName.find_last_of("./");
  if (dot == std::string::npos || FileName[dot] != '.') return "";
  return FileName.substr(dot);
}

std::string ExtractFileName(const std::string& FileName) {
  const size_t slash = FileName.find_last_of('/');
  return slash == std::string::npos ? FileName : FileName.substr(slash + 1);
}

std::string ExtractFilePath(const std::string& FileName) {
  const size_t slash = FileName.find_last_of('/');
  return slash == std::string::npos ? "" : FileName.substr(0, slash + 1);
}

bool SameText(const std::string& A, const std::string& B) {
  return QString::fromStdString(A).compare(QString::fromStdString(B), Qt::CaseInsensitive) == 0;
}

std::string UpperCase(const std::string& Text) { return QString::fromStdString(Text).toUpper().toStdString(); }

std::u16string ToUtf16(const std::string& Text) { return QString::fromStdString(Text).toStdU16String(); }

std::string FromUtf16(const std::u16string& Text) { return QString::fromStdU16String(Text).toStdString(); }
