#include "FileSearch.h"

#include <QRegularExpression>
#include <QString>

#include <algorithm>
#include <filesystem>

std::vector<std::string> FindFiles(const std::string& Folder, const std::string& Pattern) {
  const QRegularExpression matcher(
      QRegularExpression::wildcardToRegularExpression(QString::fromStdString(Pattern)),
      QRegularExpression::CaseInsensitiveOption);
  std::vector<std::pair<QString, std::string>> found;
  std::error_code error;
  for (std::filesystem::directory_iterator it(Folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    const QString text = QString::fromStdString(name);
    if (matcher.match(text).hasMatch()) found.emplace_back(text.toUpper(), name);
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> names;
  names.reserve(found.size());
  for (auto& entry : found) names.push_back(std::move(entry.second));
  return names;
}
