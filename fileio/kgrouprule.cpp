#include "fileio/kgrouprule.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zeqsdk_400 {

bool KGroupIsOwnersAlone(uid_t owner, gid_t group, const std::vector<KGroupEntry>& entries,
                         const std::vector<KUserEntry>& users) {
    // A number that entries of several names bear is not one user's alone, nor one a password gives.
    if (entries.empty()) return false;
    for (const KGroupEntry& entry : entries)
        if (entry.mName != entries.front().mName || entry.mPassword) return false;
    const KUserEntry* own = nullptr;
    for (const KUserEntry& user : users) {
        if (user.mUid == owner && !own) own = &user;
        if (user.mUid != owner && (user.mGroup == group || user.mGranted)) return false;
    }
    if (!own || own->mGroup != group || own->mName != entries.front().mName) return false;
    for (const KGroupEntry& entry : entries) {
        for (const std::string& member : entry.mMembers) {
            bool owners = false;
            for (const KUserEntry& user : users) {
                if (user.mName != member) continue;
                if (user.mUid != owner) return false;
                owners = true;
            }
            if (!owners) return false;
        }
    }
    return true;
}

namespace {

// The longest entry of a database read: one longer leaves it unread (an entry not read may be the one
// that gives another user the group).
constexpr std::size_t kLongestEntry = 1u << 20;

// A database file read on a stream of the rule's own (no position the process shares with other
// threads listing it), each line handed to take without its end; false where it cannot be read
// whole. absent (when given) is set where the file cannot be opened for want of it or of leave.
template <typename Take>
bool EachLine(const char* file, const Take& take, bool* absent = nullptr) {
    std::FILE* stream = std::fopen(file, "re");
    if (!stream) {
        if (absent) *absent = errno == ENOENT || errno == EACCES;
        return false;
    }
    char* line = nullptr;
    std::size_t capacity = 0;
    bool whole = true;
    for (ssize_t length; whole && (length = ::getline(&line, &capacity, stream)) >= 0;) {
        const std::size_t size = static_cast<std::size_t>(length);
        if (size > kLongestEntry) whole = false;
        else take(std::string_view(line, line[size - 1] == '\n' ? size - 1 : size));
    }
    whole = whole && !std::ferror(stream);
    std::free(line);
    std::fclose(stream);
    return whole;
}

// The fields of a line of the group or gshadow file.
std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t end = line.find(':', start);
        fields.push_back(line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return fields;
        start = end + 1;
    }
}

std::vector<std::string> Members(std::string_view list) {
    std::vector<std::string> members;
    for (std::size_t start = 0; start < list.size();) {
        std::size_t end = list.find(',', start);
        if (end == std::string_view::npos) end = list.size();
        if (end > start) members.emplace_back(list.substr(start, end - start));
        start = end + 1;
    }
    return members;
}

// A password field that lets a user who knows it take the group (neither empty, shadowed nor locked).
bool GivesThePassword(std::string_view password, bool shadowed) {
    return !password.empty() && password.front() != '!' && password.front() != '*' && (shadowed || password != "x");
}

// A number field of a line of the group file that names a number other than group beyond doubt:
// decimal digits alone, within 32 bits. Login reads the field leniently (blanks and a sign before the
// digits; none at all, on a line beginning with '+' or '-', as 0), so any other may bear group.
bool NamesAnotherNumber(std::string_view field, gid_t group) {
    if (field.empty()) return false;
    std::uint64_t value = 0;
    for (const char digit : field) {
        if (digit < '0' || digit > '9') return false;
        value = value * 10 + static_cast<std::uint64_t>(digit - '0');
        if (value > 0xffffffffu) return false;
    }
    return value != group;
}

// One reading of the system's databases for a group: every entry bearing its number, every user of
// /etc/passwd, and whom login may grant it beyond what the entries show: every user where a source of
// groups login asks answers what the reading cannot see (mUnseen), else each user whose name a text
// of mNaming holds (the member part of a line of the group file that may bear the number, the user of
// a membership among the user database's drop-in records). Login itself (getgrouplist) has the last
// word on each of them.
struct KGroupReading {
    std::vector<KGroupEntry> mEntries;
    std::vector<KUserEntry> mUsers;
    bool mUnseen = false;
    std::vector<std::string> mNaming;

    bool LoginIsAsked(const KUserEntry& user) const {
        if (mUnseen) return true;
        for (const std::string& text : mNaming)
            if (text.find(user.mName) != std::string::npos) return true;
        return false;
    }
};

// Every entry of the group database that bears the number group: each line of /etc/group as login
// reads it (a line beginning with '#' among them: login grants it, though a listing skips it as a
// comment), and the entry the system answers for the number from whatever source it asks; and the
// member part of every line that may bear it as login reads the number (NamesAnotherNumber).
bool GroupsNumbered(gid_t group, KGroupReading& reading) {
    std::vector<KGroupEntry>& entries = reading.mEntries;
    entries.clear();
    const bool whole = EachLine("/etc/group", [&](std::string_view line) {
        const std::vector<std::string_view> fields = Fields(line);
        if (fields.size() > 3 && !NamesAnotherNumber(fields[2], group))
            reading.mNaming.emplace_back(line.substr(static_cast<std::size_t>(fields[3].data() - line.data())));
        if (fields.size() < 3 || fields[2].empty()) return;
        const std::string number(fields[2]);
        char* end = nullptr;
        errno = 0;
        const unsigned long long value = std::strtoull(number.c_str(), &end, 10);
        if (end == number.c_str() || *end != '\0' || errno != 0 || value != group) return;
        entries.push_back({std::string(fields[0]), fields.size() > 3 ? Members(fields[3]) : std::vector<std::string>(),
                           GivesThePassword(fields[1], false)});
    });
    if (!whole) return false;
    std::vector<char> buffer(16384);
    struct group entry;
    struct group* found = nullptr;
    int code;
    while ((code = ::getgrgid_r(group, &entry, buffer.data(), buffer.size(), &found)) == ERANGE &&
           buffer.size() < kLongestEntry)
        buffer.resize(buffer.size() * 2);
    if (code != 0 && code != ENOENT && code != ESRCH) return false;
    if (code == 0 && found) {
        entries.push_back({found->gr_name, {}, GivesThePassword(found->gr_passwd ? found->gr_passwd : "", false)});
        for (char** member = found->gr_mem; member && *member; ++member) entries.back().mMembers.emplace_back(*member);
    }
    // Members and administrators in gshadow, and a password there, give the group too (sg); where this
    // user may not read it, only what the rest grants is known.
    std::vector<KGroupEntry> shadowed;
    bool absent = false;
    const bool read = EachLine(
        "/etc/gshadow",
        [&](std::string_view line) {
            const std::vector<std::string_view> fields = Fields(line);
            bool ours = false;
            for (const KGroupEntry& numbered : entries) ours = ours || numbered.mName == fields[0];
            if (!ours) return;
            shadowed.push_back({std::string(fields[0]), {}, fields.size() > 1 && GivesThePassword(fields[1], true)});
            for (std::size_t field = 2; field < 4 && field < fields.size(); ++field)
                for (std::string& member : Members(fields[field]))
                    shadowed.back().mMembers.push_back(std::move(member));
        },
        &absent);
    if (!read && !absent) return false;
    entries.insert(entries.end(), shadowed.begin(), shadowed.end());
    return true;
}

// Where a name service cache daemon, which answers for the sources it caches, listens.
constexpr const char* kCacheSockets[] = {"/var/run/nscd/socket", "/run/nscd/socket"};
// The sockets of the user database's services, and its folders of drop-in records.
constexpr const char* kUserDatabaseServices = "/run/systemd/userdb";
constexpr const char* kDropInFolders[] = {"/etc/userdb",           "/run/userdb",     "/run/host/userdb",
                                          "/usr/local/lib/userdb", "/usr/lib/userdb", "/lib/userdb"};

// Each name in folder but "." and "..", handed to take with the folder open (at); false where the
// folder is there but cannot be listed whole.
template <typename Take>
bool EachName(const char* folder, const Take& take) {
    DIR* listing = ::opendir(folder);
    if (!listing) return errno == ENOENT || errno == ENOTDIR;
    bool whole = true;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(listing);
        if (!entry) {
            whole = errno == 0;
            break;
        }
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") take(::dirfd(listing), entry->d_name);
    }
    ::closedir(listing);
    return whole;
}

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Whether the name service switch names no source of groups but the group file and the user database
// (files, systemd) on any line of the group or initgroups databases (login asks the latter where it
// is given), actions in brackets aside; false where it cannot be read, names another, or names none
// (the system's default then, which has not always been the group file alone). Each line is read as
// the C library reads it: the database's name (its case counts) after any blanks, then any run of
// blanks and colons, the colon being optional ("group files ldap" names ldap), then the sources.
bool SwitchNamesFilesAndUserDatabaseAlone() {
    bool named = false, others = false;
    const bool whole = EachLine("/etc/nsswitch.conf", [&](std::string_view line) {
        line = line.substr(0, line.find('#'));
        std::size_t start = 0;
        while (start < line.size() && IsBlank(line[start])) ++start;
        std::size_t end = start;
        while (end < line.size() && !IsBlank(line[end]) && line[end] != ':') ++end;
        const std::string_view database = line.substr(start, end - start);
        if (database != "group" && database != "initgroups") return;
        while (end < line.size() && (IsBlank(line[end]) || line[end] == ':')) ++end;
        const std::string_view sources = line.substr(end);
        bool any = false;
        for (std::size_t at = 0; at < sources.size();) {
            if (IsBlank(sources[at])) {
                ++at;
            } else if (sources[at] == '[') {
                const std::size_t close = sources.find(']', at);
                others = others || close == std::string_view::npos;
                at = close == std::string_view::npos ? sources.size() : close + 1;
            } else {
                std::size_t end = at;
                while (end < sources.size() && !IsBlank(sources[end]) && sources[end] != '[') ++end;
                const std::string_view source = sources.substr(at, end - at);
                others = others || (source != "files" && source != "systemd");
                any = true;
                at = end;
            }
        }
        named = true;
        others = others || !any;
    });
    return whole && named && !others;
}

// The sources of groups login asks beside the group file, as far as the reading can tell: the name
// service switch, a cache daemon's socket, the user database's services (the manager's own, of
// dynamic users, grants no memberships) and its drop-in records (a membership "user:group.membership"
// names its user; a group record may grant anyone). false where a drop-in folder holds a user record
// ("name.user") or cannot be listed whole: the rule reads no record, and one may give a user that
// /etc/passwd does not list the group, as primary group or membership, a user login is never asked
// about.
bool ReadSources(KGroupReading& reading) {
    if (!SwitchNamesFilesAndUserDatabaseAlone()) reading.mUnseen = true;
    for (const char* socket : kCacheSockets) {
        struct stat st;
        if (::stat(socket, &st) == 0 || (errno != ENOENT && errno != ENOTDIR)) reading.mUnseen = true;
    }
    if (!EachName(kUserDatabaseServices, [&](int, std::string_view name) {
            if (name != "io.systemd.DynamicUser") reading.mUnseen = true;
        }))
        reading.mUnseen = true;
    bool usersKnown = true;
    for (const char* folder : kDropInFolders) {
        const bool listed = EachName(folder, [&](int, std::string_view name) {
            const auto endsIn = [&](std::string_view suffix) {
                return name.size() >= suffix.size() && name.substr(name.size() - suffix.size()) == suffix;
            };
            const std::size_t colon = name.find(':');
            if (endsIn(".user"))
                usersKnown = false;
            else if (colon != 0 && colon != std::string_view::npos && endsIn(".membership"))
                reading.mNaming.emplace_back(name.substr(0, colon));
            else
                reading.mUnseen = true;
        });
        usersKnown = usersKnown && listed;
    }
    return usersKnown;
}

// Whether login grants the user name (primary group primary) the group, from every source the
// system asks; an answer too long to take counts as granting it.
bool LoginGrants(const char* name, gid_t primary, gid_t group) {
    std::vector<gid_t> groups(64);
    int count = static_cast<int>(groups.size());
    while (::getgrouplist(name, primary, groups.data(), &count) < 0) {
        if (count > (1 << 20)) return true;
        groups.resize(std::max<std::size_t>(static_cast<std::size_t>(count), groups.size() * 2));
        count = static_cast<int>(groups.size());
    }
    for (int at = 0; at < count; ++at)
        if (groups[static_cast<std::size_t>(at)] == group) return true;
    return false;
}

// Every user of /etc/passwd, read on a stream of the rule's own; false where it cannot be read whole.
bool AllUsers(std::vector<KUserEntry>& users) {
    users.clear();
    std::FILE* stream = std::fopen("/etc/passwd", "re");
    if (!stream) return false;
    std::vector<char> buffer(16384);
    struct passwd entry;
    struct passwd* found = nullptr;
    int code;
    while ((code = ::fgetpwent_r(stream, &entry, buffer.data(), buffer.size(), &found)) == 0 || code == ERANGE) {
        if (code == ERANGE && buffer.size() < kLongestEntry) buffer.resize(buffer.size() * 2);
        else if (code == ERANGE) break;
        else users.push_back({found->pw_name, found->pw_uid, found->pw_gid});
    }
    std::fclose(stream);
    return code == ENOENT;
}

// The databases read for group, and whom login is asked about; false where one cannot be read whole.
bool ReadDatabases(gid_t group, KGroupReading& reading) {
    return ReadSources(reading) && GroupsNumbered(group, reading) && AllUsers(reading.mUsers);
}

// The rule by one reading of the system's databases; kept: the verdict may be kept while the files
// it rests on stay the same (read whole, every source of groups login asks seen in them).
bool Judged(uid_t owner, gid_t group, bool& kept) {
    KGroupReading reading;
    const bool read = ReadDatabases(group, reading);
    kept = read && !reading.mUnseen;
    if (!read || !KGroupIsOwnersAlone(owner, group, reading.mEntries, reading.mUsers)) return false;
    // What login grants another user is asked only where the rest leaves the group the owner's, and only
    // of users it may grant it.
    for (KUserEntry& user : reading.mUsers)
        user.mGranted =
            user.mUid != owner && reading.LoginIsAsked(user) && LoginGrants(user.mName.c_str(), user.mGroup, group);
    return KGroupIsOwnersAlone(owner, group, reading.mEntries, reading.mUsers);
}

// The state of a file as stat gives it, or why it gives none: any change to the file, or another put
// in its place, changes it.
struct KStamp {
    int mError = 0;
    dev_t mDevice = 0;
    ino_t mInode = 0;
    off_t mSize = 0;
    std::int64_t mModified = 0;  // in nanoseconds, as mChanged
    std::int64_t mChanged = 0;

    bool operator==(const KStamp& other) const {
        return mError == other.mError && mDevice == other.mDevice && mInode == other.mInode && mSize == other.mSize &&
               mModified == other.mModified && mChanged == other.mChanged;
    }
};

KStamp StampOf(int at, const char* name) {
    struct stat st {};
    if (::fstatat(at, name, &st, 0) != 0) return KStamp{errno};
    const auto nanoseconds = [](const timespec& time) {
        return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
    };
    return {0, st.st_dev, st.st_ino, st.st_size, nanoseconds(st.st_mtim), nanoseconds(st.st_ctim)};
}

// Everything a verdict rests on: this process's user and group (gshadow is read where they may), and
// the stamps of the databases, the name service switch, where the other sources login asks would
// lie, and each drop-in record (an empty membership masks its name).
struct KDatabaseState {
    uid_t mUser = 0;
    gid_t mGroup = 0;
    std::vector<KStamp> mFiles;

    bool operator==(const KDatabaseState& other) const {
        return mUser == other.mUser && mGroup == other.mGroup && mFiles == other.mFiles;
    }
    bool operator!=(const KDatabaseState& other) const { return !(*this == other); }
};

KDatabaseState DatabaseState() {
    KDatabaseState state{::geteuid(), ::getegid(), {}};
    for (const char* file : {"/etc/passwd", "/etc/group", "/etc/gshadow", "/etc/nsswitch.conf"})
        state.mFiles.push_back(StampOf(AT_FDCWD, file));
    for (const char* socket : kCacheSockets) state.mFiles.push_back(StampOf(AT_FDCWD, socket));
    state.mFiles.push_back(StampOf(AT_FDCWD, kUserDatabaseServices));
    for (const char* folder : kDropInFolders) {
        state.mFiles.push_back(StampOf(AT_FDCWD, folder));
        EachName(folder, [&](int at, const char* name) { state.mFiles.push_back(StampOf(at, name)); });
    }
    return state;
}

// The verdicts of the process, kept while the state they rest on stays as it was.
// Never destroyed: a thread may still judge while the program ends.
struct KKeptVerdicts {
    std::mutex mLock;
    KDatabaseState mState;
    std::map<std::pair<uid_t, gid_t>, bool> mVerdicts;
};
KKeptVerdicts& Kept() {
    static KKeptVerdicts* kept = new KKeptVerdicts;
    return *kept;
}
// Owners and groups judged beyond this many start the keeping afresh.
constexpr std::size_t kMostKept = 1024;

}  // namespace

bool KGroupIsOwnersAloneBySystem(uid_t owner, gid_t group) {
    const KDatabaseState state = DatabaseState();
    KKeptVerdicts& kept = Kept();
    {
        std::lock_guard<std::mutex> lock(kept.mLock);
        const auto found = kept.mVerdicts.find({owner, group});
        if (kept.mState == state && found != kept.mVerdicts.end()) return found->second;
    }
    // Judged outside the lock: another thread's judgement waits on no reading of this one's.
    bool keep = false;
    const bool alone = Judged(owner, group, keep);
    if (keep) {
        std::lock_guard<std::mutex> lock(kept.mLock);
        if (kept.mState != state || kept.mVerdicts.size() >= kMostKept) {
            kept.mState = state;
            kept.mVerdicts.clear();
        }
        kept.mVerdicts[{owner, group}] = alone;
    }
    return alone;
}

bool KLoginAskedAbout(uid_t owner, gid_t group, std::vector<std::string>& users) {
    users.clear();
    KGroupReading reading;
    if (!ReadDatabases(group, reading)) return false;
    for (const KUserEntry& user : reading.mUsers)
        if (user.mUid != owner && reading.LoginIsAsked(user)) users.push_back(user.mName);
    return true;
}

}  // namespace zeqsdk_400
