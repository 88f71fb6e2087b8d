#include "app/chart_files.h"

#include <QSaveFile>

#include <system_error>

#include "recording/csv_rows.h"
#include "recording/record_times.h"
#include "platform/data_file.h"

namespace ninetrace {

namespace {

[[noreturn]] void Fail(const QString& target, const std::string& reason) {
  throw TFileError("Cannot save " + target.toStdString() + ": " + reason, reason);
}

// Renaming over the recording would lose it.
void RefuseRecording(const QString& target, const std::filesystem::path& recording) {
  std::error_code error;
  if (!recording.empty() && std::filesystem::equivalent(target.toStdString(), recording, error))
    Fail(target, "that is the recording being viewed; choose another name");
}

void Open(QSaveFile& file, const QString& target, const std::filesystem::path& recording) {
  RefuseRecording(target, recording);
  if (!file.open(QIODevice::WriteOnly)) Fail(target, file.errorString().toStdString());
}

void Commit(QSaveFile& file, const QString& target) {
  if (!file.commit()) Fail(target, file.errorString().toStdString());
}

}  // namespace

void SaveChartImage(const QImage& image, const QString& target, const std::filesystem::path& recording) {
  QSaveFile file(target);
  Open(file, target, recording);
  if (!image.save(&file, "PNG")) {
    file.cancelWriting();
    Fail(target, file.errorString().isEmpty() ? "the image could not be written" : file.errorString().toStdString());
  }
  Commit(file, target);
}

void ExportRecordsCsv(const std::filesystem::path& recording, std::int64_t first, std::int64_t end,
                      const TChannelScales& channels, const QString& target) {
  TRecordingReader reader(recording);
  const TRecordTimes times = TRecordTimes::Load(recording);
  // As `export` does: the padding written on stopping is left out where the index tells it.
  end = std::min(end, std::min(reader.Records(), times.RealRecords().value_or(end)));
  QSaveFile file(target);
  Open(file, target, recording);
  TTimeColumns estimated(StartTimeFromName(recording));
  TIndexedTimeColumns indexed(times);
  const TCsvTime time{times.FromIndex() ? nullptr : &estimated, times.FromIndex() ? &indexed : nullptr};
  try {
    // Straight to the temporary file's descriptor: the rows are written in large blocks already.
    WriteCsv(reader, first, std::max(first, end), file.handle(), target.toStdString(), channels, time);
  } catch (const std::system_error& e) {
    file.cancelWriting();
    Fail(target, e.code().message());
  }
  Commit(file, target);
}

}  // namespace ninetrace
