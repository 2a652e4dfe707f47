// Tests only: the rule of a group that is its owner's alone (a user's private group), as worked
// cases that both of its definitions are held to (the SDK's, and the host stand-in's own, which
// takes nothing of the SDK), and the user databases a test mounts in a process of its own
// (UnderGroupDatabase) to judge files under them. Standalone (no SDK, no test framework).
#ifndef ZEQ_FILEIO_TESTS_KGROUPCASES_H
#define ZEQ_FILEIO_TESTS_KGROUPCASES_H

#include <sys/types.h>

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "fileio/tests/kownmounts.h"

namespace zeqtest {

// A user of the database: name, number, primary group.
struct GroupCaseUser {
    std::string mName;
    uid_t mUid;
    gid_t mGroup;
};

// An entry of the group database bearing the case's number: name, members.
struct GroupCaseEntry {
    std::string mName;
    std::vector<std::string> mMembers;
};

// Whether the group numbered mGroup, whose entries (every one bearing the number) are mEntries, is
// mOwner's alone, where the user database holds ann (1000, group 1000), bob (1001, group 1001) and
// mMore.
struct GroupRuleCase {
    const char* mName;
    uid_t mOwner;
    gid_t mGroup;
    std::vector<GroupCaseEntry> mEntries;
    std::vector<GroupCaseUser> mMore;
    bool mAlone;

    std::vector<GroupCaseUser> Users() const {
        std::vector<GroupCaseUser> users = {{"ann", 1000, 1000}, {"bob", 1001, 1001}};
        users.insert(users.end(), mMore.begin(), mMore.end());
        return users;
    }
};

inline void PrintTo(const GroupRuleCase& c, std::ostream* out) { *out << c.mName; }

inline const std::vector<GroupRuleCase>& GroupRuleCases() {
    static const std::vector<GroupRuleCase> cases = {
        {"PrivateGroup", 1000, 1000, {{"ann", {}}}, {}, true},
        {"OwnerListedInIt", 1000, 1000, {{"ann", {"ann"}}}, {}, true},
        {"AnotherNameOfTheOwnerListed", 1000, 1000, {{"ann", {"annie"}}}, {{"annie", 1000, 1000}}, true},
        // The member list never shows a user whose primary group it is.
        {"AnotherUsersPrimaryGroup", 1000, 1000, {{"ann", {}}}, {{"svc", 1002, 1000}}, false},
        {"RootsGroupAServiceUserHasAsPrimary", 0, 0, {{"root", {}}}, {{"root", 0, 0}, {"svc", 999, 0}}, false},
        {"RootsGroupAlone", 0, 0, {{"root", {}}}, {{"root", 0, 0}}, true},
        {"AnotherUserListed", 1000, 1000, {{"ann", {"ann", "bob"}}}, {}, false},
        {"ANameNoUserBearsListed", 1000, 1000, {{"ann", {"ghost"}}}, {}, false},
        {"NotTheOwnersPrimaryGroup", 1000, 1001, {{"bob", {}}}, {}, false},
        // Named as the owner, listing no one, no one's primary group: still not the owner's own.
        {"NamedAsTheOwnerButNotItsPrimaryGroup", 1000, 1005, {{"ann", {}}}, {}, false},
        {"NamedOtherwise", 1000, 1000, {{"staff", {}}}, {}, false},
        {"OwnerUnknown", 1005, 1000, {{"ann", {}}}, {}, false},
        {"NoEntryBearsTheNumber", 1000, 1000, {}, {}, false},
        // The system gives a user every number whose entry lists them (`groupadd -o -g 0 ops`).
        {"RootsNumberBorneByASecondEntryListingAUser", 0, 0, {{"root", {}}, {"ops", {"bob"}}}, {{"root", 0, 0}},
         false},
        {"ASecondEntryOfTheNumberListingNoOne", 1000, 1000, {{"ann", {}}, {"alias", {}}}, {}, false},
        {"ASecondEntryOfTheNumberListingTheOwner", 1000, 1000, {{"ann", {}}, {"alias", {"ann"}}}, {}, false},
        // Two sources listing one group.
        {"OneEntryListedTwice", 1000, 1000, {{"ann", {}}, {"ann", {"ann"}}}, {}, true},
        {"OneEntryListedTwiceTheSecondTimeWithAnotherUser", 1000, 1000, {{"ann", {}}, {"ann", {"bob"}}}, {}, false},
    };
    return cases;
}

// A user database for a file or folder of owner's whose group is group: owner ("zeqowner") has it
// as primary group, named as the user; a second user ("zeqsecond") has it as primary group too
// (mSecondsPrimary), or is listed in it (mSecondListed), or in a second entry bearing its number
// (mSecondEntryListsSecond, as `groupadd -o -g` makes one), or none of these. mCutShort: the
// database that cannot be read past the owner's entry ("users", "groups"; "" neither), an entry
// longer than any enumeration takes standing right after it. mOthersMayWrite: whether the group's
// write then counts as another user's.
struct GroupDatabaseCase {
    const char* mName;
    bool mSecondsPrimary;
    bool mSecondListed;
    bool mSecondEntryListsSecond;
    const char* mCutShort;
    bool mOthersMayWrite;
};

inline const std::vector<GroupDatabaseCase>& GroupDatabaseCases() {
    static const std::vector<GroupDatabaseCase> cases = {
        {"the owner's alone", false, false, false, "", false},
        {"a second user's primary group too", true, false, false, "", true},
        {"a second user listed in it", false, true, false, "", true},
        {"a second entry of its number listing a second user", false, false, true, "", true},
        {"the user database unreadable past the owner, a second user's primary group after it", true, false, false,
         "users", true},
        {"the group database unreadable past the owner's group, a second entry of its number after it", false, false,
         true, "groups", true},
    };
    return cases;
}

// The passwd and group lines of such a database (the second user's own group beside it).
inline void GroupDatabase(const GroupDatabaseCase& c, uid_t owner, gid_t group, std::string& passwd,
                          std::string& groups) {
    const uid_t second = owner == 4242 ? 4243 : 4242;
    const gid_t secondsOwn = group == 4242 ? 4243 : 4242;
    const std::string cut = std::string(c.mCutShort);
    // Twice the most an enumeration takes of one entry.
    const std::string tooLong(2u << 20, 'x');
    passwd = "zeqowner:x:" + std::to_string(owner) + ":" + std::to_string(group) + "::/:/bin/sh\n" +
             (cut == "users" ? "zeqlong:x:4244:4244:" + tooLong + ":/:/bin/sh\n" : "") + "zeqsecond:x:" +
             std::to_string(second) + ":" + std::to_string(c.mSecondsPrimary ? group : secondsOwn) + "::/:/bin/sh\n";
    groups = "zeqowner:x:" + std::to_string(group) + ":" + (c.mSecondListed ? "zeqsecond" : "") + "\n" +
             (cut == "groups" ? "zeqlong:x:4244:" + tooLong + "\n" : "") + "zeqsecond:x:" + std::to_string(secondsOwn) +
             ":\n" + (c.mSecondEntryListsSecond ? "zeqshared:x:" + std::to_string(group) + ":zeqsecond\n" : "");
}

// Runs body in a child with mounts of its own (InMountsOfItsOwn) under the user database of c, its
// files written in folder, with the owner's number and group there (this process's: 0 in a user
// namespace); answers as ChildAnswer, nothing where no such child can be made.
inline std::optional<std::string> UnderGroupDatabase(
    const GroupDatabaseCase& c, const std::string& folder,
    const std::function<std::optional<std::string>(uid_t owner, gid_t group)>& body) {
    return ChildAnswer([&]() -> std::optional<std::string> {
        if (!InMountsOfItsOwn()) return std::nullopt;
        const uid_t owner = ::geteuid();
        const gid_t group = ::getegid();
        std::string passwd, groups;
        GroupDatabase(c, owner, group, passwd, groups);
        if (!WithUserDatabase(folder, passwd, groups, "zeqowner")) return std::nullopt;
        return body(owner, group);
    });
}

// Why a test that needs UnderGroupDatabase skips.
inline std::string NoGroupDatabase() { return NoMountsOfItsOwn() + ", or no user database of its own in it"; }

}  // namespace zeqtest

#endif
