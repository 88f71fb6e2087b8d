// Recordings as documents: a recording named on the command line ("ninetrace FILE", or
// "ninetrace --follow FILE" for one still being written), or dropped on the window.
#pragma once

#include <QStringList>

#include <filesystem>
#include <optional>

class QMimeData;

namespace ninetrace {

struct TFileArguments {
  std::filesystem::path File;  // empty when the first argument is a port, or there is none
  bool Follow = false;
  // The positional arguments with "--follow" taken out: the port (or FILE), mask, width.
  QStringList Positional;
};

// A first argument that names an existing regular file opens that file; the mask and width
// after it keep their places. A plain number is always a port, even with a file of that name
// in the folder, and a device path is not a regular file, so ports work as they always have.
// "--follow FILE" names the file whatever it is (the opening then says what is wrong).
// Throws std::invalid_argument for "--follow" without a file.
TFileArguments ReadFileArguments(const QStringList& arguments);

// The one local file dropped, if that is what the drag carries.
std::optional<std::filesystem::path> DroppedFile(const QMimeData& data);

}  // namespace ninetrace
