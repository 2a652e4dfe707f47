// Tests only: the rule of a group that is its owner's alone (a user's private group), as worked
// cases that both of its definitions are held to (the SDK's, and the host stand-in's own, which
// takes nothing of the SDK), and the user databases a test mounts in a process of its own
// (UnderGroupDatabase) to judge files under them. Standalone (no SDK, no test framework).
#ifndef ZEQ_FILEIO_TESTS_KGROUPCASES_H
#define ZEQ_FILEIO_TESTS_KGROUPCASES_H

#include <fcntl.h>
#include <grp.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "fileio/tests/kownmounts.h"
#include "fileio/tests/kunixsocket.h"

namespace zeqtest {

// A user of the database: name, number, primary group.
struct GroupCaseUser {
    std::string mName;
    uid_t mUid;
    gid_t mGroup;
};

// An entry of the group database bearing the case's number: name, members, password ("x": in gshadow).
struct GroupCaseEntry {
    std::string mName;
    std::vector<std::string> mMembers;
    std::string mPassword = "x";
};

// An entry of gshadow: name, password ("" none, "!" locked), members, administrators; mPastTheBound:
// its line made longer than the rule reads (a run of empty members after the rest).
struct GroupCaseShadow {
    std::string mName;
    std::string mPassword;
    std::vector<std::string> mMembers;
    std::vector<std::string> mAdministrators = {};
    bool mPastTheBound = false;
};

// Whether the group numbered mGroup, whose entries (every one bearing the number) are mEntries, is
// mOwner's alone, where the user database holds ann (1000, group 1000), bob (1001, group 1001) and
// mMore, and gshadow mShadow; mListedBeside: judged while another thread of the process lists the
// group database. mGroupLines: lines of the group file as they stand, after the entries, which only
// the system's own reading of them judges; mMemberships: files of the user database's drop-in folder
// /run/userdb ("user:group.membership"); mDropInUsers: users /etc/passwd does not list, each a user
// record of that folder ("name.user"), which login knows.
struct GroupRuleCase {
    const char* mName;
    uid_t mOwner;
    gid_t mGroup;
    std::vector<GroupCaseEntry> mEntries;
    std::vector<GroupCaseUser> mMore;
    bool mAlone;
    std::vector<GroupCaseShadow> mShadow = {};
    bool mListedBeside = false;
    std::vector<std::string> mGroupLines = {};
    std::vector<std::string> mMemberships = {};
    std::vector<GroupCaseUser> mDropInUsers = {};

    // The users of /etc/passwd.
    std::vector<GroupCaseUser> Users() const {
        std::vector<GroupCaseUser> users = {{"ann", 1000, 1000}, {"bob", 1001, 1001}};
        users.insert(users.end(), mMore.begin(), mMore.end());
        return users;
    }
    // Every user the system knows.
    std::vector<GroupCaseUser> AllUsers() const {
        std::vector<GroupCaseUser> users = Users();
        users.insert(users.end(), mDropInUsers.begin(), mDropInUsers.end());
        return users;
    }
    // No entry is longer than the rule reads, and no user record is one it does not read: either leaves
    // a database it cannot judge.
    bool ReadWhole() const {
        for (const GroupCaseShadow& entry : mShadow)
            if (entry.mPastTheBound) return false;
        return mDropInUsers.empty();
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
        // A listing skips a line beginning with '#' as a comment; login grants it.
        {"AGroupLineBeginningWithAHash", 0, 0, {{"root", {}}, {"#x", {"bob"}}}, {{"root", 0, 0}}, false},
        {"AGroupLineBeginningWithAHashListingTheOwner", 1000, 1000, {{"ann", {}}, {"#ann", {"ann"}}}, {}, false},
        // sg gives the group to a member gshadow alone lists, and to whoever knows its password.
        {"AMemberGshadowAloneLists", 1000, 1000, {{"ann", {}}}, {}, false, {{"ann", "", {"bob"}}}},
        {"AGroupPassword", 1000, 1000, {{"ann", {}}}, {}, false, {{"ann", "$6$salt$hash", {}}}},
        {"AGshadowEntryLockedListingTheOwner", 1000, 1000, {{"ann", {}}}, {}, true, {{"ann", "!", {"ann"}}}},
        // sg gives the group to an administrator gshadow lists, and to whoever knows a password the group
        // file itself holds (on a second line of the name, which the system's answer for the number never
        // shows).
        {"AnAdministratorGshadowAloneLists", 1000, 1000, {{"ann", {}}}, {}, false, {{"ann", "!", {}, {"bob"}}}},
        {"AGroupFilePassword", 1000, 1000, {{"ann", {}, "$6$salt$hash"}}, {}, false},
        {"AGroupFilePasswordOnASecondLineOfTheName", 1000, 1000, {{"ann", {}}, {"ann", {}, "$6$salt$hash"}}, {},
         false},
        // A gshadow entry longer than the rule reads may list anyone: others'.
        {"AGshadowEntryLongerThanTheRuleReads", 1000, 1000, {{"ann", {}}}, {}, true, {{"ann", "!", {"ann"}, {}, true}}},
        // Login reads a line's number leniently: blanks and zeros before it, and none at all on a line
        // beginning with '+' or '-', read as 0 (root's group, to whomever the line lists).
        {"ASecondLineOfTheNumberWithABlankBeforeItListingAUser", 1000, 1000, {{"ann", {}}}, {}, true, {}, false,
         {"ops:x: 01000:bob"}},
        {"ALineBeginningWithAPlusWithoutANumberListingAUser", 0, 0, {{"root", {}}}, {{"root", 0, 0}}, true, {}, false,
         {"+root:x::bob"}},
        // Login asks the user database too, whose drop-in folders grant memberships of their own.
        {"AMembershipOfTheUserDatabasesDropIns", 1000, 1000, {{"ann", {}}}, {}, true, {}, false, {},
         {"bob:ann.membership"}},
        // Login knows a user of a drop-in user record, whom /etc/passwd does not list; the rule reads no
        // such record, which may give its user the group as primary group or membership.
        {"APrimaryGroupOfAUserOfADropInRecord", 1000, 1000, {{"ann", {}}}, {}, false, {}, false, {}, {},
         {{"svc", 1002, 1000}}},
        {"AUserOfADropInRecordOfAnotherGroup", 1000, 1000, {{"ann", {}}}, {}, true, {}, false, {}, {},
         {{"svc", 1002, 1002}}},
        // A membership login grants that the group's entry does not show (here: root's group as the
        // primary group of a user the group lists nowhere).
        {"AMembershipTheListingDoesNotShow", 0, 0, {{"root", {"root"}}}, {{"root", 0, 0}, {"daemon", 1, 0}}, false},
        // Judged while another thread lists the group database: its place in the listing is not the rule's.
        {"ASecondEntryListingAUserBesideAListingThread", 1000, 1000, {{"ann", {}}, {"ops", {"bob"}}}, {}, false, {},
         true},
        {"ThePrivateGroupBesideAListingThread", 1000, 1000, {{"ann", {}}}, {}, true, {}, true},
    };
    return cases;
}

// The passwd, group and gshadow lines of c's database (each user's own group beside it where no
// entry names it, a run of groups of no one's before the case's, so that a listing has some way to go).
inline void GroupRuleDatabase(const GroupRuleCase& c, std::string& passwd, std::string& groups,
                              std::string& gshadow) {
    passwd.clear();
    groups.clear();
    gshadow.clear();
    for (int filler = 0; filler < 64; ++filler) groups += "zeqfiller" + std::to_string(filler) + ":x:" +
                                                          std::to_string(20000 + filler) + ":\n";
    for (const GroupCaseUser& user : c.Users()) {
        passwd += user.mName + ":x:" + std::to_string(user.mUid) + ":" + std::to_string(user.mGroup) + "::/:/bin/sh\n";
        if (user.mGroup != c.mGroup) groups += user.mName + ":x:" + std::to_string(user.mGroup) + ":\n";
    }
    const auto listed = [](const std::vector<std::string>& names) {
        std::string list;
        for (const std::string& name : names) list += (list.empty() ? "" : ",") + name;
        return list;
    };
    for (const GroupCaseEntry& entry : c.mEntries)
        groups += entry.mName + ":" + entry.mPassword + ":" + std::to_string(c.mGroup) + ":" + listed(entry.mMembers) +
                  "\n";
    for (const std::string& line : c.mGroupLines) groups += line + "\n";
    for (const GroupCaseShadow& entry : c.mShadow)
        gshadow += entry.mName + ":" + entry.mPassword + ":" + listed(entry.mAdministrators) + ":" +
                   listed(entry.mMembers) + (entry.mPastTheBound ? std::string(2u << 20, ',') : "") + "\n";
}

// Writes text as the whole of file (a fresh folder's, or one mounted from there), in place: a file
// mounted over another's name stays mounted.
inline bool Rewrite(const std::string& file, const std::string& text) {
    std::ofstream out(file, std::ios::trunc);
    return static_cast<bool>(out << text << std::flush);
}

// Whether login grants a user of c's database other than its owner the group: what the system
// itself says (getgrouplist, as login asks it), in a process under that database.
inline bool LoginGrantsAnother(const std::vector<GroupCaseUser>& users, uid_t owner, gid_t group) {
    for (const GroupCaseUser& user : users) {
        if (user.mUid == owner) continue;
        std::vector<gid_t> granted(256);
        int count = static_cast<int>(granted.size());
        if (::getgrouplist(user.mName.c_str(), user.mGroup, granted.data(), &count) < 0) return true;
        for (int at = 0; at < count; ++at)
            if (granted[static_cast<std::size_t>(at)] == group) return true;
    }
    return false;
}
inline bool LoginGrantsAnother(const GroupRuleCase& c) { return LoginGrantsAnother(c.Users(), c.mOwner, c.mGroup); }

// Lists the group database (setgrent, getgrent, endgrent) over and over on a thread of its own, as
// another part of a program may, until it is destroyed.
class GroupListingThread {
public:
    GroupListingThread()
        : mThread([this] {
              while (!mStop) {
                  ::setgrent();
                  while (::getgrent()) {
                  }
                  ::endgrent();
              }
          }) {}
    ~GroupListingThread() {
        mStop = true;
        mThread.join();
    }
    GroupListingThread(const GroupListingThread&) = delete;
    GroupListingThread& operator=(const GroupListingThread&) = delete;

private:
    std::atomic<bool> mStop{false};
    std::thread mThread;
};

// Judges c by judge (a definition's rule by the system's databases: owner, group) in a child with
// mounts of its own, under c's database, 50 times (while another thread lists the group database
// with setgrent, getgrent and endgrent, where mListedBeside), against the expectation: the owner's
// alone only where login grants no other user the group (getgrouplist, asked there), the table
// holds it the owner's alone (what login grants never shows: a gshadow member, a password, another
// name bearing the number) and no entry is longer than the rule reads. Answers "" where every
// verdict agrees, else what disagreed; nothing where no such child can be made.
inline std::optional<std::string> JudgedUnderItsDatabase(const GroupRuleCase& c, const std::string& folder,
                                                         const std::function<bool(uid_t, gid_t)>& judge) {
    return ChildAnswer([&]() -> std::optional<std::string> {
        if (!InMountsOfItsOwn()) return std::nullopt;
        std::string passwd, groups, gshadow;
        GroupRuleDatabase(c, passwd, groups, gshadow);
        if (!WithUserDatabase(folder, passwd, groups, "ann", gshadow)) return std::nullopt;
        if (!c.mMemberships.empty() || !c.mDropInUsers.empty()) {
            if (!WithRunOfItsOwn(folder + "/run") || ::mkdir("/run/userdb", 0755) != 0) return std::nullopt;
            // An empty membership masks the name instead.
            for (const std::string& name : c.mMemberships)
                if (!Rewrite("/run/userdb/" + name, "{}\n")) return std::nullopt;
            for (const GroupCaseUser& user : c.mDropInUsers)
                if (!Rewrite("/run/userdb/" + user.mName + ".user",
                             "{\"userName\":\"" + user.mName + "\",\"uid\":" + std::to_string(user.mUid) +
                                 ",\"gid\":" + std::to_string(user.mGroup) + "}\n"))
                    return std::nullopt;
        }
        const bool granted = LoginGrantsAnother(c);
        const bool expected = c.mAlone && !granted && c.ReadWhole();
        std::optional<GroupListingThread> lister;
        if (c.mListedBeside) lister.emplace();
        int wrong = 0;
        for (int call = 0; call < 50; ++call) wrong += judge(c.mOwner, c.mGroup) != expected ? 1 : 0;
        lister.reset();
        if (wrong == 0) return std::string();
        return std::to_string(wrong) + " of 50 verdicts not \"" + (expected ? "alone" : "not alone") +
               "\" (login grants another user the group: " + (granted ? "yes" : "no") + ")";
    });
}

// Makes path below /run (in a process whose /run is its own: WithRunOfItsOwn) with the folders on the
// way: a drop-in record of the user database ("userdb/...", holding "{}": an empty one masks its name),
// else a socket, as a daemon leaves one.
inline bool MakeInRun(const std::string& path) {
    for (std::size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1))
        if (::mkdir(("/run/" + path.substr(0, slash)).c_str(), 0755) != 0 && errno != EEXIST) return false;
    if (path.rfind("userdb/", 0) == 0) return Rewrite("/run/" + path, "{}\n");
    return BoundUnixSocket("/run/" + path).IsBound();
}

// Whom the rule asks whether login grants ann's group (1000) to them, by what the system's sources of
// groups are, where the user database holds ann, bob and cat (1000 to 1002, each of a group of its
// own) and the group file their groups and mGroupLines: the name service switch's lines mSwitch beside
// the user database's ("": the group file and the user database alone), and in a /run of its own the
// sockets and drop-in records mRun names (MakeInRun). mAsked: bob and cat both where a source answers
// that the rule cannot see, and only there (no row's lines name them both).
struct LoginAskCase {
    const char* mName;
    std::vector<std::string> mGroupLines;
    std::string mSwitch;
    std::vector<std::string> mRun;
    std::vector<std::string> mAsked;

    // A source answers that the rule cannot see: no verdict rests on the files alone.
    bool Unseen() const { return mAsked == std::vector<std::string>{"bob", "cat"}; }
};

inline void PrintTo(const LoginAskCase& c, std::ostream* out) { *out << c.mName; }

inline const std::vector<LoginAskCase>& LoginAskCases() {
    static const std::vector<LoginAskCase> cases = {
        {"NoOneWhereNoLineMayBearTheNumber", {"ops:x:2000:bob"}, "", {}, {}},
        {"AMemberOfALineOfTheNumber", {"ops:x:1000:bob"}, "", {}, {"bob"}},
        {"AMemberAfterABlank", {"ops:x:1000: cat"}, "", {}, {"cat"}},
        {"AMemberOfALineBeginningWithAHash", {"#ops:x:1000:cat"}, "", {}, {"cat"}},
        // Login reads a number leniently; plain digits alone name another beyond doubt.
        {"ZerosBeforeAnotherNumber", {"ops:x:02000:bob"}, "", {}, {}},
        {"ABlankBeforeANumber", {"ops:x: 2000:bob"}, "", {}, {"bob"}},
        {"ASignBeforeANumber", {"ops:x:+2000:bob"}, "", {}, {"bob"}},
        {"ANumberPast32Bits", {"ops:x:4294969296:bob"}, "", {}, {"bob"}},
        {"NoNumberOnAPlusLine", {"+ops:x::bob"}, "", {}, {"bob"}},
        // The name service switch: any source but the group file and the user database may grant anyone.
        {"ActionsBetweenTheSources", {}, "group: files [SUCCESS=merge] systemd\n", {}, {}},
        {"AnotherSourceOfGroups", {}, "group: files ldap\n", {}, {"bob", "cat"}},
        {"AnotherSourceOfLoginsGroups", {}, "group: files systemd\ninitgroups: files sss\n", {}, {"bob", "cat"}},
        {"NoSourceOfGroupsNamed", {}, "hosts: files\n", {}, {"bob", "cat"}},
        // The C library reads a line without a colon too (its first word the database, the rest its
        // sources; a database's last line counts), and a database's name in its own case alone.
        {"AnotherSourceOnALineWithoutAColon", {}, "group: files systemd\ngroup files ldap\n", {}, {"bob", "cat"}},
        {"AnotherSourceOfLoginsGroupsWithoutAColon", {}, "group: files systemd\ninitgroups\tfiles sss\n", {},
         {"bob", "cat"}},
        {"TheGroupFileAloneOnALineWithoutAColon", {}, "group files systemd\n", {}, {}},
        {"ALineOfAnotherCaseNamesNoSourceOfGroups", {}, "Group: files\n", {}, {"bob", "cat"}},
        // A cache daemon answers from its cache; the user database from its services and drop-in records.
        {"ACacheDaemonsSocket", {}, "", {"nscd/socket"}, {"bob", "cat"}},
        {"TheServiceOfDynamicUsers", {}, "", {"systemd/userdb/io.systemd.DynamicUser"}, {}},
        {"AnotherUserDatabaseService", {}, "", {"systemd/userdb/io.systemd.Home"}, {"bob", "cat"}},
        {"ADropInMembership", {}, "", {"userdb/bob:ann.membership"}, {"bob"}},
        {"ADropInGroupRecord", {}, "", {"userdb/ops.group"}, {"bob", "cat"}},
    };
    return cases;
}

// The users of LoginAskCase, their passwd and group lines, and its name service switch.
inline const std::vector<GroupCaseUser>& LoginAskUsers() {
    static const std::vector<GroupCaseUser> users = {{"ann", 1000, 1000}, {"bob", 1001, 1001}, {"cat", 1002, 1002}};
    return users;
}
inline void LoginAskDatabase(std::string& passwd, std::string& groups) {
    passwd.clear();
    groups.clear();
    for (const GroupCaseUser& user : LoginAskUsers()) {
        const std::string id = std::to_string(user.mUid);
        passwd += user.mName + ":x:" + id + ":" + id + "::/:/bin/sh\n";
        groups += user.mName + ":x:" + id + ":\n";
    }
}
inline std::string LoginAskSwitch(const std::string& group) { return "passwd: files\n" + group; }

// Runs body in a child with mounts of its own under c's database and sources (folder: a fresh one of
// the test's); answers as ChildAnswer, nothing where no such child can be made.
inline std::optional<std::string> UnderItsSources(const LoginAskCase& c, const std::string& folder,
                                                  const std::function<std::string()>& body) {
    return ChildAnswer([&]() -> std::optional<std::string> {
        if (!InMountsOfItsOwn()) return std::nullopt;
        std::string passwd, groups;
        LoginAskDatabase(passwd, groups);
        for (const std::string& line : c.mGroupLines) groups += line + "\n";
        const std::string nsswitch = folder + "/nsswitch.conf";
        if (!Rewrite(nsswitch, LoginAskSwitch(c.mSwitch.empty() ? "group: files systemd\n" : c.mSwitch)) ||
            ::mount(nsswitch.c_str(), "/etc/nsswitch.conf", nullptr, MS_BIND, nullptr) != 0 ||
            !WithUserDatabase(folder, passwd, groups, "ann") || !WithRunOfItsOwn(folder + "/run"))
            return std::nullopt;
        for (const std::string& path : c.mRun)
            if (!MakeInRun(path)) return std::nullopt;
        return body();
    });
}

// Whom asked (a definition's list of the users its rule asks login about: owner, group, names; false
// where the databases cannot be read) names under c's sources (UnderItsSources): the names joined by
// ",", or why there are none; nothing where no such child can be made.
inline std::optional<std::string> AskedUnderItsSources(
    const LoginAskCase& c, const std::string& folder,
    const std::function<bool(uid_t, gid_t, std::vector<std::string>&)>& asked) {
    return UnderItsSources(c, folder, [&] {
        std::vector<std::string> names;
        if (!asked(1000, 1000, names)) return std::string("the databases cannot be read");
        std::string joined;
        for (const std::string& name : names) joined += (joined.empty() ? "" : ",") + name;
        return joined;
    });
}

// Whether judge (a definition's rule by the system's databases) keeps its verdict of ann's group
// (1000) under c's sources (UnderItsSources): "kept" where none of three judgements after the first
// opens the group file (inotify tells), else how many open it, each a judgement made again ("judged
// again 3 of 3"); nothing where no such child can be made.
inline std::optional<std::string> KeptUnderItsSources(const LoginAskCase& c, const std::string& folder,
                                                      const std::function<bool(uid_t, gid_t)>& judge) {
    return UnderItsSources(c, folder, [&] {
        const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (watch < 0 || ::inotify_add_watch(watch, "/etc/group", IN_OPEN) < 0)
            return std::string("the group file cannot be watched");
        // Whether the group file was opened since the last look (the watch reports nothing else).
        const auto opened = [watch] {
            alignas(inotify_event) char events[4096];
            bool any = false;
            while (::read(watch, events, sizeof(events)) > 0) any = true;
            return any;
        };
        judge(1000, 1000);
        opened();
        int again = 0;
        for (int call = 0; call < 3; ++call) {
            judge(1000, 1000);
            again += opened() ? 1 : 0;
        }
        ::close(watch);
        return again == 0 ? std::string("kept") : "judged again " + std::to_string(again) + " of 3";
    });
}

// Writes text as the whole of file, in place or as a new file renamed over it, its modification time
// kept as it was (as `touch -r` keeps it): only the change time tells, and a renamed file's inode.
inline bool RewriteKeepingItsTime(const std::string& file, const std::string& text, bool renamed) {
    struct stat before {};
    if (::stat(file.c_str(), &before) != 0) return false;
    // The clock that stamps files moves in ticks: a change within the tick of the last would keep its
    // change time too.
    const auto past = [&](const timespec& now) {
        return now.tv_sec > before.st_ctim.tv_sec ||
               (now.tv_sec == before.st_ctim.tv_sec && now.tv_nsec > before.st_ctim.tv_nsec);
    };
    for (timespec now{}; ::clock_gettime(CLOCK_REALTIME_COARSE, &now) == 0 && !past(now);) ::usleep(1000);
    const std::string written = renamed ? file + ".new" : file;
    const timespec times[2] = {before.st_atim, before.st_mtim};
    return Rewrite(written, text) && ::utimensat(AT_FDCWD, written.c_str(), times, 0) == 0 &&
           (!renamed || ::rename(written.c_str(), file.c_str()) == 0);
}

// How a step of JudgedAsItsFilesChange writes its file: in place, or with its modification time kept
// (RewriteKeepingItsTime), in place or renamed over it.
enum class Written { eInPlace, eTimeKept, eRenamedTimeKept };

// Judges ann's group (1000) by judge (a definition's rule by the system's databases) in a child with
// mounts of its own, under LoginAskCase's database in an /etc of its own (WithEtcOfItsOwn), as each
// file it rests on changes, each change undone before the next (a drop-in membership kept, emptied
// and filled again; the group file changed at its size and modification time, in place and by a file
// renamed over it), against the expectation at each step: the owner's alone where the files say so
// and login grants no other user the group. Answers "" where every verdict agrees, else the steps
// that disagreed; nothing where no such child can be made.
inline std::optional<std::string> JudgedAsItsFilesChange(const std::string& folder,
                                                         const std::function<bool(uid_t, gid_t)>& judge) {
    return ChildAnswer([&]() -> std::optional<std::string> {
        std::string passwd, groups;
        LoginAskDatabase(passwd, groups);
        const std::string nsswitch = "/etc/nsswitch.conf", group = "/etc/group";
        if (!InMountsOfItsOwn() ||
            !WithEtcOfItsOwn(folder,
                             {{"passwd", passwd},
                              {"group", groups},
                              {"gshadow", "ann:!::\n"},
                              {"nsswitch.conf", LoginAskSwitch("group: files systemd\n")}},
                             "ann") ||
            !WithRunOfItsOwn(folder + "/run") || ::mkdir("/run/userdb", 0755) != 0)
            return std::nullopt;
        const std::string membership = "/run/userdb/bob:ann.membership";
        // Two lines of one size: bob in a group of another number, and in a second entry of ann's.
        const std::string elsewhere = "ops:x:2000:bob\n", beside = "ops:x:1000:bob\n";
        // What each step writes where, and how, and whether the files alone leave the group ann's.
        const struct {
            const char* mStep;
            std::string mFile;
            std::string mText;
            bool mAlone;
            Written mHow = Written::eInPlace;
        } steps[] = {
            {"as it stands", nsswitch, LoginAskSwitch("group: files systemd\n"), true},
            {"bob listed in the group file", group, "ann:x:1000:bob\n" + groups, false},
            {"the group file undone", group, groups, true},
            {"a user of the group as primary group", "/etc/passwd", passwd + "svc:x:1002:1000::/:/bin/sh\n", false},
            {"the user database undone", "/etc/passwd", passwd, true},
            {"bob listed in gshadow", "/etc/gshadow", "ann:!::bob\n", false},
            {"gshadow undone", "/etc/gshadow", "ann:!::\n", true},
            {"a drop-in membership of bob's", membership, "{}\n", true},
            {"the membership emptied", membership, "", true},
            {"the membership filled again", membership, "{}\n", true},
            {"the user database left out of the switch", nsswitch, LoginAskSwitch("group: files\n"), true},
            {"bob listed in a group of another number", group, groups + elsewhere, true},
            {"that line given the group's number in place, the modification time kept", group, groups + beside,
             false, Written::eTimeKept},
            {"another number again in place, the modification time kept", group, groups + elsewhere, true,
             Written::eTimeKept},
            {"the group's number by a file renamed over it, the modification time kept", group, groups + beside,
             false, Written::eRenamedTimeKept},
            {"the group file undone again", group, groups, true},
        };
        std::string wrong;
        for (const auto& step : steps) {
            if (step.mHow == Written::eInPlace ? !Rewrite(step.mFile, step.mText)
                                               : !RewriteKeepingItsTime(step.mFile, step.mText,
                                                                        step.mHow == Written::eRenamedTimeKept))
                return std::nullopt;
            const bool expected = step.mAlone && !LoginGrantsAnother(LoginAskUsers(), 1000, 1000);
            if (judge(1000, 1000) != expected || judge(1000, 1000) != expected)
                wrong += std::string(wrong.empty() ? "" : "; ") + step.mStep + ": not \"" +
                         (expected ? "alone" : "not alone") + "\"";
        }
        return wrong;
    });
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

// The user and group a process under a database of the test's becomes (AsAnotherUser): not root,
// for whom no group is its owner's alone.
inline constexpr uid_t kDatabaseOwner = 4240;
inline constexpr gid_t kDatabaseGroup = 4240;

// Runs body in a child with mounts of its own (InMountsOfItsOwn) under the user database of c, its
// files written in folder, as the owner (kDatabaseOwner, of group kDatabaseGroup: AsAnotherUser, to
// whom this process's files belong there); answers as ChildAnswer, nothing where no such child can
// be made.
inline std::optional<std::string> UnderGroupDatabase(
    const GroupDatabaseCase& c, const std::string& folder,
    const std::function<std::optional<std::string>(uid_t owner, gid_t group)>& body) {
    return ChildAnswer([&]() -> std::optional<std::string> {
        if (!InMountsOfItsOwn()) return std::nullopt;
        std::string passwd, groups;
        GroupDatabase(c, kDatabaseOwner, kDatabaseGroup, passwd, groups);
        if (!WithUserDatabase(folder, passwd, groups, "zeqowner") || !AsAnotherUser(kDatabaseOwner, kDatabaseGroup))
            return std::nullopt;
        return body(kDatabaseOwner, kDatabaseGroup);
    });
}

// Runs body as UnderGroupDatabase does, as the owner of a folder of mode 0775 whose group is the
// owner's private group, under a database where a second entry bearing the group's number, after
// many groups of no one's, lists a second user: a folder others may write (the listing's end is what
// tells it).
inline std::optional<std::string> UnderASecondEntryAfterMany(const std::string& folder,
                                                             const std::function<std::optional<std::string>()>& body) {
    return ChildAnswer([&]() -> std::optional<std::string> {
        if (!InMountsOfItsOwn()) return std::nullopt;
        const std::string owner = std::to_string(kDatabaseOwner), group = std::to_string(kDatabaseGroup);
        std::string groups = "zeqowner:x:" + group + ":\n";
        for (int filler = 0; filler < 200; ++filler)
            groups += "zeqfiller" + std::to_string(filler) + ":x:" + std::to_string(20000 + filler) + ":\n";
        groups += "zeqsecond:x:4242:\nzeqshared:x:" + group + ":zeqsecond\n";
        const std::string passwd =
            "zeqowner:x:" + owner + ":" + group + "::/:/bin/sh\nzeqsecond:x:4242:4242::/:/bin/sh\n";
        if (!WithUserDatabase(folder, passwd, groups, "zeqowner") || !AsAnotherUser(kDatabaseOwner, kDatabaseGroup) ||
            ::chmod(folder.c_str(), 0775) != 0)
            return std::nullopt;
        return body();
    });
}

// Why a test that needs UnderGroupDatabase skips.
inline std::string NoGroupDatabase() { return NoMountsOfItsOwn() + ", or no user database of its own in it"; }

}  // namespace zeqtest

#endif
