#pragma once
// Text helpers of the plug-in host: file-name parts, comparison without regard to case, and the
// conversions between the single-byte (UTF-8) and the wide (UTF-16) forms of the module interface.

#include <string>

// The text from the last '.' on, when no '/' follows it; else "".
std::string ExtractFileExt(const std::string& FileName);
// The part after the last '/'.
std::string ExtractFileName(const std::string& FileName);
// The part up to and including the last '/'.
std::string ExtractFilePath(const std::string& FileName);
// Equal without regard to case (Unicode case folding).
bool SameText(const std::string& A, const std::string& B);
std::string UpperCase(const std::string& Text);

std::u16string ToUtf16(const std::string& Text);
std::string FromUtf16(const std::u16string& Text);
