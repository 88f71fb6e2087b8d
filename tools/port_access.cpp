#include "port_access.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace ninetrace::cli {

namespace {

constexpr mode_t ReadWrite = 06;

bool Contains(const std::vector<gid_t>& groups, gid_t group) {
  return std::find(groups.begin(), groups.end(), group) != groups.end();
}

std::string ModeText(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

}  // namespace

TAccessVerdict JudgeAccess(const TNodeOwnership& node, const TUserIdentity& user, const TIdNames& names) {
  if (user.Uid == 0) return {true, {}};
  // The kernel looks at one class of bits only: the owner's, else the group's, else the others'.
  const bool owner = node.Owner == user.Uid;
  const bool member = !owner && Contains(user.SessionGroups, node.Group);
  const mode_t bits = owner ? node.Mode >> 6 : member ? node.Mode >> 3 : node.Mode;
  if ((bits & ReadWrite) == ReadWrite) return {true, {}};

  const std::string who = names.User(node.Owner) + ":" + names.Group(node.Group) + ", mode " + ModeText(node.Mode);
  if (owner) return {false, "you own it (" + who + ") but may not read and write it: chmod u+rw it"};
  // Joining a group helps only when that group may read and write the device; the root group
  // never counts: it grants far more than a port and is no advice to give.
  const bool groupMayUse = (node.Mode >> 3 & ReadWrite) == ReadWrite && node.Group != 0;
  if (groupMayUse && !member && Contains(user.AccountGroups, node.Group)) {
    const std::string group = names.Group(node.Group);
    return {false, "you were added to the group " + group +
                       " after this session started: log out and in again (or run: newgrp " + group + ")"};
  }
  if (groupMayUse && !member) {
    const std::string group = names.Group(node.Group);
    return {false, "the group " + group + " may read and write it; add your user to that group (sudo usermod -aG " +
                       group + " $USER), then log out and in again"};
  }
  return {false, "owned by " + who +
                     ", which gives no group of yours read and write access; ask the administrator, or add a udev "
                     "rule that gives the device to a group you are in (see ninetrace-cli(1))"};
}

TUserIdentity CurrentUser() {
  TUserIdentity user;
  user.Uid = ::getuid();
  const int count = ::getgroups(0, nullptr);
  user.SessionGroups.resize(static_cast<std::size_t>(std::max(count, 0)));
  if (count > 0) user.SessionGroups.resize(static_cast<std::size_t>(::getgroups(count, user.SessionGroups.data())));
  user.SessionGroups.push_back(::getgid());

  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(user.Uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
    int n = 64;
    user.AccountGroups.resize(static_cast<std::size_t>(n));
    if (::getgrouplist(found->pw_name, found->pw_gid, user.AccountGroups.data(), &n) < 0) {
      user.AccountGroups.resize(static_cast<std::size_t>(n));
      ::getgrouplist(found->pw_name, found->pw_gid, user.AccountGroups.data(), &n);
    }
    user.AccountGroups.resize(static_cast<std::size_t>(n));
  }
  return user;
}

TIdNames SystemIdNames() {
  return {
      [](uid_t uid) {
        std::vector<char> buffer(16384);
        passwd entry{};
        passwd* found = nullptr;
        if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr)
          return std::string(found->pw_name);
        return std::to_string(uid);
      },
      [](gid_t gid) {
        std::vector<char> buffer(16384);
        group entry{};
        group* found = nullptr;
        if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr)
          return std::string(found->gr_name);
        return std::to_string(gid);
      },
  };
}

}  // namespace ninetrace::cli
