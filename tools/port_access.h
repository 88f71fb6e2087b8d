// Whether this user may open a serial device, and if not, what would let them: decided from the
// device node's owner, group and mode alone, never by opening it (opening a port toggles DTR,
// which resets some converters and boards).
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace ninetrace::cli {

struct TNodeOwnership {
  uid_t Owner = 0;
  gid_t Group = 0;
  mode_t Mode = 0;  // permission bits
};

struct TUserIdentity {
  uid_t Uid = 0;
  std::vector<gid_t> SessionGroups;  // the groups this login session has (getgroups)
  std::vector<gid_t> AccountGroups;  // the groups the account has now (the group database)
};

struct TIdNames {
  std::function<std::string(uid_t)> User;
  std::function<std::string(gid_t)> Group;
};

struct TAccessVerdict {
  bool MayOpen = false;
  std::string Why;  // empty when MayOpen; otherwise what stands in the way and what to do
};

TAccessVerdict JudgeAccess(const TNodeOwnership& node, const TUserIdentity& user, const TIdNames& names);

// The identity of this process, and names from the system's user and group databases.
TUserIdentity CurrentUser();
TIdNames SystemIdNames();

}  // namespace ninetrace::cli
