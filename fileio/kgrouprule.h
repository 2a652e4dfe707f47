// The rule of a group that is its owner's alone (a user's private group), by which a folder its group
// may write counts that write as its owner's: over entries given, and by the system's databases.
#ifndef ZEQ_FILEIO_KGROUPRULE_H
#define ZEQ_FILEIO_KGROUPRULE_H

#include <sys/types.h>

#include <string>
#include <vector>

namespace zeqsdk_400 {

// A user of the system's database, as KGroupIsOwnersAlone reads it.
struct KUserEntry {
    std::string mName;
    uid_t mUid;
    gid_t mGroup;  // primary
    // Login grants the user the group judged, by whatever road (getgrouplist).
    bool mGranted = false;
};
// An entry of the system's group database, as KGroupIsOwnersAlone reads it: from the group file
// (or the source the system asks), or from gshadow (its administrators among the members).
struct KGroupEntry {
    std::string mName;
    std::vector<std::string> mMembers;
    // A password that gives the group to whoever knows it (sg).
    bool mPassword = false;
};
// The group numbered group is the user owner's alone: the entries bearing the number (every one: the
// system gives a user each number whose entry lists them, and `groupadd -o` gives a number a second
// name) are one group (entries of one name, as two sources list it), the primary group of owner's
// entry (the first that bears the number), named as that entry; and no user other than owner has it
// as primary group, is granted it at login or is listed in an entry of it (a listed name that no
// entry of owner's bears is another user), and no entry has a password. users: every entry the user
// database holds. A folder whose group is so, by the system's databases read whole, and that no
// access list opens further, counts its group's write as its owner's (a user's private group, where
// a umask of 002 leaves every folder writable to it); for root, who may change any mode, no group
// counts so.
bool KGroupIsOwnersAlone(uid_t owner, gid_t group, const std::vector<KGroupEntry>& entries,
                         const std::vector<KUserEntry>& users);
// KGroupIsOwnersAlone by the system's databases, read on streams of the rule's own (no position the
// process shares with other threads listing them): every line of /etc/group bearing the number (one
// beginning with '#' too, which login grants), the entry the system answers for the number, gshadow
// where this user may read it, and every user of /etc/passwd with what login grants them
// (getgrouplist, from every source the system asks). Whatever cannot be read counts as others'.
bool KGroupIsOwnersAloneBySystem(uid_t owner, gid_t group);

}  // namespace zeqsdk_400

#endif
