// Looking back while recording. The recording window cannot page (recorder and viewer share its
// page buffer), so it starts a second ninetrace process, "ninetrace --follow FILE", which only
// reads the file: it takes in pages as they are appended, keeps a view the person stepped back
// to, grows an open overview without touching the zoom, and copes with the file being cut short
// or replaced under it. The same mode follows a recording made by `ninetrace-cli record`.
#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

#include "platform/data_file.h"

namespace ninetrace {

class TPageViewer;

// Starts this program with `arguments`, detached; false when it could not be started.
using TProgramLauncher = std::function<bool(const QStringList& arguments)>;
bool LaunchThisProgram(const QStringList& arguments);
// "--follow" and the recording's absolute path.
QStringList FollowArguments(const std::filesystem::path& recording);

// The overview of a growing file is read again at most this often, and never more than a tenth
// of the time: a week-long file takes about 0.6 s to read, so it is refreshed every 6 s.
inline constexpr std::chrono::milliseconds OverviewRefreshInterval{1000};
inline constexpr int OverviewRefreshCostShare = 10;

class TFollowMode {
 public:
  using TClock = std::function<std::chrono::steady_clock::time_point()>;

  // `file` is the data file the viewer reads; both must outlive this.
  TFollowMode(TPageViewer& viewer, const TDataFile& file, TClock clock = {});

  // Every timer tick: looks at the file once and brings the view up to date. When the file was
  // cut short, removed or replaced, the view is brought up to date first and then a TFileError
  // says what happened, once.
  void Tick();
  // The window's caption while following: the viewer's caption and the file followed.
  QString Caption(const QString& caption) const;
  // How long the last overview refresh took (for the figures in the README).
  std::chrono::nanoseconds LastOverviewCost() const { return overviewCost_; }

 private:
  void Grown(std::int64_t size);
  void Shrunk(std::int64_t size);
  void Replaced(const std::filesystem::path& name, const TFileIdentity& replacement);
  void RefreshOverview();

  TPageViewer& viewer_;
  const TDataFile& file_;
  TClock clock_;

  std::optional<TFileIdentity> watched_;      // the open file, as last seen
  std::int64_t seenSize_ = 0;                 // its size then
  std::optional<TFileIdentity> unusable_;     // a replacement that could not be opened
  bool toldGone_ = false;                     // said that the name was removed
  bool overviewStale_ = false;                // the file grew under an open overview
  std::chrono::steady_clock::time_point nextOverview_{};
  std::chrono::nanoseconds overviewCost_{0};
};

}  // namespace ninetrace
