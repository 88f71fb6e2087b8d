#include "app/follow_mode.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <sys/stat.h>

#include <cerrno>

#include "playback/page_viewer.h"

namespace ninetrace {

namespace {

// The file a name leads to now; nullopt when there is none (removed, or not reachable).
std::optional<TFileIdentity> IdentityOfName(const std::filesystem::path& name) {
  struct stat info {};
  if (::stat(name.c_str(), &info) != 0) return std::nullopt;
  return TFileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

std::int64_t LastPageOffset(std::int64_t size) { return RecordStart(ClampToFile(size, size)); }

std::string Pages(std::int64_t size) {
  const std::int64_t pages = size / PageBytes;
  return pages == 1 ? "1 page" : std::to_string(pages) + " pages";
}

}  // namespace

bool LaunchThisProgram(const QStringList& arguments) {
  return QProcess::startDetached(QCoreApplication::applicationFilePath(), arguments);
}

QStringList FollowArguments(const std::filesystem::path& recording) {
  return {QStringLiteral("--follow"), QFile::decodeName(std::filesystem::absolute(recording).c_str())};
}

TFollowMode::TFollowMode(TPageViewer& viewer, const TDataFile& file, TClock clock)
    : viewer_(viewer), file_(file), clock_(clock ? std::move(clock) : TClock(&std::chrono::steady_clock::now)) {}

QString TFollowMode::Caption(const QString& caption) const {
  if (file_.Name().empty()) return caption + QStringLiteral("  (following)");
  return caption + QStringLiteral("  (following ") + QFile::decodeName(file_.Name().filename().c_str()) + ')';
}

void TFollowMode::Tick() {
  if (!viewer_.FileOpen()) {
    watched_.reset();
    return;
  }
  const TFileIdentity open = file_.Identity();
  const std::int64_t size = file_.Size();
  if (watched_ != open) {
    // Just opened (at start, or by Open or a drop): that is the file followed from now on.
    watched_ = open;
    seenSize_ = size;
    unusable_.reset();
    toldGone_ = false;
    overviewStale_ = false;
    return;
  }
  const std::filesystem::path& name = file_.Name();
  const std::optional<TFileIdentity> named = IdentityOfName(name);
  if (named && *named != open && named != unusable_) return Replaced(name, *named);
  if (size < seenSize_) return Shrunk(size);
  if (size > seenSize_) Grown(size);
  if (overviewStale_ && clock_() >= nextOverview_) RefreshOverview();
  if (!named && !toldGone_) {
    // The open file still holds what it held (and may still grow): it stays in view.
    toldGone_ = true;
    throw TFileError(name.string() + " was removed; still showing what it held.", "removed");
  }
}

void TFollowMode::Grown(std::int64_t size) {
  const bool atEnd = viewer_.ViewOffset() >= LastPageOffset(seenSize_);
  seenSize_ = size;
  if (viewer_.ViewMode() == TViewMode::Overview) {
    overviewStale_ = true;
  } else if (atEnd) {
    // Watching the newest page: the new one replaces it. A page stepped back to stays put.
    viewer_.StepForward(size);
  }
}

void TFollowMode::Shrunk(std::int64_t size) {
  const std::int64_t before = seenSize_;
  seenSize_ = size;
  // Nothing past the new end may stay on the chart.
  if (viewer_.ViewMode() == TViewMode::Overview)
    RefreshOverview();
  else
    viewer_.StepForward(0);
  throw TFileError(file_.Name().string() + " was cut from " + Pages(before) + " to " + Pages(size) +
                       " while it was shown; showing what is left.",
                   "cut short");
}

void TFollowMode::Replaced(const std::filesystem::path& name, const TFileIdentity& replacement) {
  const bool overview = viewer_.ViewMode() == TViewMode::Overview;
  const std::filesystem::path kept = name;  // Open replaces the file whose name this is
  try {
    viewer_.Open(kept);
  } catch (const TFileError& e) {
    unusable_ = replacement;  // said once; the file open before stays in view
    throw TFileError(kept.string() + " was replaced by a file that cannot be read (" + e.Reason() +
                         "); still showing the file it was.",
                     e.Reason());
  }
  viewer_.StepForward(file_.Size());
  if (overview) viewer_.ToggleOverview();
  watched_ = file_.Identity();
  seenSize_ = file_.Size();
  toldGone_ = false;
  overviewStale_ = false;
  throw TFileError(kept.string() + " was replaced by another file; showing the new one.", "replaced");
}

void TFollowMode::RefreshOverview() {
  const auto started = clock_();
  viewer_.RebuildOverview();
  const auto finished = clock_();
  overviewCost_ = finished - started;
  overviewStale_ = false;
  nextOverview_ = finished + std::max<std::chrono::steady_clock::duration>(OverviewRefreshInterval,
                                                                         overviewCost_ * OverviewRefreshCostShare);
}

}  // namespace ninetrace
