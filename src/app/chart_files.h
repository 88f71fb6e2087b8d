// Files the chart's menu writes: the chart image as PNG and the records on screen as CSV. Each is
// written whole into a temporary file beside the target and renamed into place, so a failure
// leaves the target as it was; neither ever replaces the recording being viewed.
#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
#include <filesystem>

#include "recording/channel_scales.h"

namespace ninetrace {

// Throws TFileError "Cannot save <target>: <reason>".
void SaveChartImage(const QImage& image, const QString& target, const std::filesystem::path& recording);

// Records [first, end) of `recording` as `export --time` writes them, with the channels' names,
// units and scales. Throws TFileError naming the file and the reason.
void ExportRecordsCsv(const std::filesystem::path& recording, std::int64_t first, std::int64_t end,
                      const TChannelScales& channels, const QString& target);

}  // namespace ninetrace
