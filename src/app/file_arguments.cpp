#include "app/file_arguments.h"

#include <QFile>
#include <QMimeData>
#include <QUrl>

#include <stdexcept>
#include <system_error>

namespace ninetrace {

namespace {

bool IsPortNumber(const QString& text) {
  if (text.isEmpty()) return false;
  for (const QChar c : text)
    if (!c.isDigit()) return false;
  return true;
}

std::filesystem::path PathOf(const QString& text) { return std::filesystem::path(QFile::encodeName(text).toStdString()); }

}  // namespace

TFileArguments ReadFileArguments(const QStringList& arguments) {
  TFileArguments result;
  result.Positional = arguments;
  if (!arguments.isEmpty() && arguments[0] == QLatin1String("--follow")) {
    if (arguments.size() < 2 || arguments[1].isEmpty())
      throw std::invalid_argument("--follow needs the recording to follow: ninetrace --follow FILE");
    result.Positional.removeFirst();
    result.File = PathOf(result.Positional[0]);
    result.Follow = true;
    return result;
  }
  if (arguments.isEmpty() || IsPortNumber(arguments[0])) return result;
  const std::filesystem::path candidate = PathOf(arguments[0]);
  std::error_code error;
  if (std::filesystem::is_regular_file(candidate, error)) result.File = candidate;
  return result;
}

std::optional<std::filesystem::path> DroppedFile(const QMimeData& data) {
  const QList<QUrl> urls = data.urls();
  if (urls.size() != 1 || !urls[0].isLocalFile()) return std::nullopt;
  return PathOf(urls[0].toLocalFile());
}

}  // namespace ninetrace
