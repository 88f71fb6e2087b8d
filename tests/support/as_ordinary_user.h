// Permission checks judged as a person meets them. Root may open any file, folder or device and
// ignores a port's exclusive use, so a suite that runs as root does the judged part as the user
// nobody, without supplementary groups; an ordinary user runs it as themselves.
#pragma once

#include <grp.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace ninetrace::testing {

struct TOrdinaryUser {
  uid_t Uid = 65534;
  gid_t Gid = 65534;
};

inline TOrdinaryUser OrdinaryUser() {
  if (::geteuid() != 0) return {::geteuid(), ::getegid()};
  const passwd* nobody = ::getpwnam("nobody");
  return nobody == nullptr ? TOrdinaryUser{} : TOrdinaryUser{nobody->pw_uid, nobody->pw_gid};
}

// Runs `body` in a child process as an ordinary user and returns the text it produced, or what
// stopped it from producing one.
inline std::string AsOrdinaryUser(const std::function<std::string()>& body) {
  const TOrdinaryUser user = OrdinaryUser();
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeFds[0]);
    std::string out;
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(user.Gid) != 0 || ::setuid(user.Uid) != 0))
      out = "cannot drop privileges";
    else
      out = body();
    [[maybe_unused]] const ssize_t written = ::write(pipeFds[1], out.data(), out.size());
    ::_exit(0);
  }
  ::close(pipeFds[1]);
  std::string out;
  char buffer[512];
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<std::size_t>(n));
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) out += " (the child failed: status " + std::to_string(status) + ")";
  return out;
}

// A folder under the system's temporary directory that everyone may enter, removed at exit.
class TSharedFolder {
 public:
  TSharedFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ninetrace-programs-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr && ::chmod(pattern.c_str(), 0755) == 0) path_ = pattern;
  }
  ~TSharedFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// `program` where an ordinary user can run it: a build inside a private folder (root's home) is
// copied out once.
inline std::string ProgramForEveryone(const std::string& program) {
  bool reachable = true;
  for (std::filesystem::path p = std::filesystem::path(program).parent_path(); p.has_relative_path(); p = p.parent_path()) {
    struct stat info {};
    if (::stat(p.c_str(), &info) != 0 || (info.st_mode & S_IXOTH) == 0) reachable = false;
  }
  if (reachable) return program;
  static const TSharedFolder folder;
  const std::filesystem::path copy = folder.Path() / std::filesystem::path(program).filename();
  std::error_code error;
  std::filesystem::copy_file(program, copy, std::filesystem::copy_options::overwrite_existing, error);
  return error ? program : copy.string();
}

// The words that start `program` as an ordinary user: the program alone for an ordinary user,
// under setpriv for root.
inline std::vector<std::string> AsOrdinaryUserCommand(const std::string& program) {
  if (::geteuid() != 0) return {program};
  const TOrdinaryUser user = OrdinaryUser();
  return {"/usr/bin/setpriv", "--reuid=" + std::to_string(user.Uid), "--regid=" + std::to_string(user.Gid),
          "--clear-groups", ProgramForEveryone(program)};
}

}  // namespace ninetrace::testing
