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
// (getgrouplist, from every source the system asks), asked of the users KLoginAskedAbout gives.
// Whatever cannot be read counts as others': so does any user record among the user database's
// drop-in records, which may give the group to a user /etc/passwd does not list. A verdict is kept
// for the process while the files it rests on (the databases, the name service switch, where the
// other sources of groups would lie) stay the same, where every source login asks lies in them.
bool KGroupIsOwnersAloneBySystem(uid_t owner, gid_t group);
// The users of /etc/passwd other than owner whom KGroupIsOwnersAloneBySystem asks whether login grants
// them the group: every one where login asks a source of groups the rule cannot read (the name service
// switch names another than the group file and the user database, or none; a name service cache
// daemon listens; the user database has a service other than the manager's, of dynamic users, or a
// drop-in record other than a membership or a user), else each one whose name stands in the member
// part of a line of /etc/group whose number login may read as the group's (all but plain digits
// naming another, as login reads blanks and signs before them, and no number at all on a '+' or '-'
// line as 0), or in a drop-in membership's name. false where the databases cannot be read whole (a
// drop-in user record among them).
bool KLoginAskedAbout(uid_t owner, gid_t group, std::vector<std::string>& users);

}  // namespace zeqsdk_400

#endif
