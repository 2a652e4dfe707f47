// The rule of a group that is its owner's alone, and its reading of the system's databases.
#include "grouprule.h"

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

namespace tulo_detail {

bool groupIsOwnersAlone(uid_t owner, gid_t group, const std::vector<GroupEntry>& entries,
                        const std::vector<UserEntry>& users) {
    // A number that entries of several names bear is not one user's alone, nor one a password gives.
    if (entries.empty()) return false;
    for (const GroupEntry& entry : entries)
        if (entry.name != entries.front().name || entry.password) return false;
    const UserEntry* own = nullptr;
    for (const UserEntry& user : users) {
        if (user.uid == owner && !own) own = &user;
        if (user.uid != owner && (user.group == group || user.granted)) return false;
    }
    if (!own || own->group != group || own->name != entries.front().name) return false;
    for (const GroupEntry& entry : entries) {
        for (const std::string& member : entry.members) {
            bool owners = false;
            for (const UserEntry& user : users) {
                if (user.name != member) continue;
                if (user.uid != owner) return false;
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
bool eachLine(const char* file, const Take& take, bool* absent = nullptr) {
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
std::vector<std::string_view> fieldsOf(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t end = line.find(':', start);
        fields.push_back(line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return fields;
        start = end + 1;
    }
}

std::vector<std::string> membersOf(std::string_view list) {
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
bool givesThePassword(std::string_view password, bool shadowed) {
    return !password.empty() && password.front() != '!' && password.front() != '*' && (shadowed || password != "x");
}

// A number field of a line of the group file that names a number other than group beyond doubt:
// decimal digits alone, within 32 bits. Login reads the field leniently (blanks and a sign before the
// digits; none at all, on a line beginning with '+' or '-', as 0), so any other may bear group.
bool namesAnotherNumber(std::string_view field, gid_t group) {
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
// groups login asks answers what the reading cannot see (unseen), else each user whose name a text
// of naming holds (the member part of a line of the group file that may bear the number, the user of
// a membership among the user database's drop-in records). Login itself (getgrouplist) has the last
// word on each of them.
struct GroupReading {
    std::vector<GroupEntry> entries;
    std::vector<UserEntry> users;
    bool unseen = false;
    std::vector<std::string> naming;

    bool loginIsAsked(const UserEntry& user) const {
        if (unseen) return true;
        for (const std::string& text : naming)
            if (text.find(user.name) != std::string::npos) return true;
        return false;
    }
};

// Every entry of the group database that bears the number group: each line of /etc/group as login
// reads it (a line beginning with '#' among them: login grants it, though a listing skips it as a
// comment), and the entry the system answers for the number from whatever source it asks; and the
// member part of every line that may bear it as login reads the number (namesAnotherNumber).
bool groupsNumbered(gid_t group, GroupReading& reading) {
    std::vector<GroupEntry>& entries = reading.entries;
    entries.clear();
    const bool whole = eachLine("/etc/group", [&](std::string_view line) {
        const std::vector<std::string_view> fields = fieldsOf(line);
        if (fields.size() > 3 && !namesAnotherNumber(fields[2], group))
            reading.naming.emplace_back(line.substr(static_cast<std::size_t>(fields[3].data() - line.data())));
        if (fields.size() < 3 || fields[2].empty()) return;
        const std::string number(fields[2]);
        char* end = nullptr;
        errno = 0;
        const unsigned long long value = std::strtoull(number.c_str(), &end, 10);
        if (end == number.c_str() || *end != '\0' || errno != 0 || value != group) return;
        entries.push_back({std::string(fields[0]),
                           fields.size() > 3 ? membersOf(fields[3]) : std::vector<std::string>(),
                           givesThePassword(fields[1], false)});
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
        entries.push_back({found->gr_name, {}, givesThePassword(found->gr_passwd ? found->gr_passwd : "", false)});
        for (char** member = found->gr_mem; member && *member; ++member) entries.back().members.emplace_back(*member);
    }
    // Members and administrators in gshadow, and a password there, give the group too (sg); where this
    // user may not read it, only what the rest grants is known.
    std::vector<GroupEntry> shadowed;
    bool absent = false;
    const bool read = eachLine(
        "/etc/gshadow",
        [&](std::string_view line) {
            const std::vector<std::string_view> fields = fieldsOf(line);
            bool ours = false;
            for (const GroupEntry& numbered : entries) ours = ours || numbered.name == fields[0];
            if (!ours) return;
            shadowed.push_back({std::string(fields[0]), {}, fields.size() > 1 && givesThePassword(fields[1], true)});
            for (std::size_t field = 2; field < 4 && field < fields.size(); ++field)
                for (std::string& member : membersOf(fields[field]))
                    shadowed.back().members.push_back(std::move(member));
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
bool eachName(const char* folder, const Take& take) {
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

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Whether the name service switch names no source of groups but the group file and the user database
// (files, systemd) on any line of the group or initgroups databases (login asks the latter where it
// is given), actions in brackets aside; false where it cannot be read, names another, or names none
// (the system's default then, which has not always been the group file alone). Each line is read as
// the C library reads it: the database's name (its case counts) after any blanks, then any run of
// blanks and colons, the colon being optional ("group files ldap" names ldap), then the sources.
bool switchNamesFilesAndUserDatabaseAlone() {
    bool named = false, others = false;
    const bool whole = eachLine("/etc/nsswitch.conf", [&](std::string_view line) {
        line = line.substr(0, line.find('#'));
        std::size_t start = 0;
        while (start < line.size() && isBlank(line[start])) ++start;
        std::size_t end = start;
        while (end < line.size() && !isBlank(line[end]) && line[end] != ':') ++end;
        const std::string_view database = line.substr(start, end - start);
        if (database != "group" && database != "initgroups") return;
        while (end < line.size() && (isBlank(line[end]) || line[end] == ':')) ++end;
        const std::string_view sources = line.substr(end);
        bool any = false;
        for (std::size_t at = 0; at < sources.size();) {
            if (isBlank(sources[at])) {
                ++at;
            } else if (sources[at] == '[') {
                const std::size_t close = sources.find(']', at);
                others = others || close == std::string_view::npos;
                at = close == std::string_view::npos ? sources.size() : close + 1;
            } else {
                std::size_t end = at;
                while (end < sources.size() && !isBlank(sources[end]) && sources[end] != '[') ++end;
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
bool readSources(GroupReading& reading) {
    if (!switchNamesFilesAndUserDatabaseAlone()) reading.unseen = true;
    for (const char* socket : kCacheSockets) {
        struct stat st;
        if (::stat(socket, &st) == 0 || (errno != ENOENT && errno != ENOTDIR)) reading.unseen = true;
    }
    if (!eachName(kUserDatabaseServices, [&](int, std::string_view name) {
            if (name != "io.systemd.DynamicUser") reading.unseen = true;
        }))
        reading.unseen = true;
    bool usersKnown = true;
    for (const char* folder : kDropInFolders) {
        const bool listed = eachName(folder, [&](int, std::string_view name) {
            const auto endsIn = [&](std::string_view suffix) {
                return name.size() >= suffix.size() && name.substr(name.size() - suffix.size()) == suffix;
            };
            const std::size_t colon = name.find(':');
            if (endsIn(".user"))
                usersKnown = false;
            else if (colon != 0 && colon != std::string_view::npos && endsIn(".membership"))
                reading.naming.emplace_back(name.substr(0, colon));
            else
                reading.unseen = true;
        });
        usersKnown = usersKnown && listed;
    }
    return usersKnown;
}

// Whether login grants the user name (primary group primary) the group, from every source the
// system asks; an answer too long to take counts as granting it.
bool loginGrants(const char* name, gid_t primary, gid_t group) {
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
bool allUsers(std::vector<UserEntry>& users) {
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
bool readDatabases(gid_t group, GroupReading& reading) {
    return readSources(reading) && groupsNumbered(group, reading) && allUsers(reading.users);
}

// The rule by one reading of the system's databases; kept: the verdict may be kept while the files
// it rests on stay the same (read whole, every source of groups login asks seen in them).
bool judged(uid_t owner, gid_t group, bool& kept) {
    GroupReading reading;
    const bool read = readDatabases(group, reading);
    kept = read && !reading.unseen;
    if (!read || !groupIsOwnersAlone(owner, group, reading.entries, reading.users)) return false;
    // What login grants another user is asked only where the rest leaves the group the owner's, and only
    // of users it may grant it.
    for (UserEntry& user : reading.users)
        user.granted =
            user.uid != owner && reading.loginIsAsked(user) && loginGrants(user.name.c_str(), user.group, group);
    return groupIsOwnersAlone(owner, group, reading.entries, reading.users);
}

// The state of a file as stat gives it, or why it gives none: any change to the file, or another put
// in its place, changes it.
struct Stamp {
    int error = 0;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modified = 0;  // in nanoseconds, as changed
    std::int64_t changed = 0;

    bool operator==(const Stamp& other) const {
        return error == other.error && device == other.device && inode == other.inode && size == other.size &&
               modified == other.modified && changed == other.changed;
    }
};

Stamp stampOf(int at, const char* name) {
    struct stat st {};
    if (::fstatat(at, name, &st, 0) != 0) return Stamp{errno};
    const auto nanoseconds = [](const timespec& time) {
        return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
    };
    return {0, st.st_dev, st.st_ino, st.st_size, nanoseconds(st.st_mtim), nanoseconds(st.st_ctim)};
}

// Everything a verdict rests on: this process's user and group (gshadow is read where they may), and
// the stamps of the databases, the name service switch, where the other sources login asks would
// lie, and each drop-in record (an empty membership masks its name).
struct DatabaseState {
    uid_t user = 0;
    gid_t group = 0;
    std::vector<Stamp> files;

    bool operator==(const DatabaseState& other) const {
        return user == other.user && group == other.group && files == other.files;
    }
    bool operator!=(const DatabaseState& other) const { return !(*this == other); }
};

DatabaseState databaseState() {
    DatabaseState state{::geteuid(), ::getegid(), {}};
    for (const char* file : {"/etc/passwd", "/etc/group", "/etc/gshadow", "/etc/nsswitch.conf"})
        state.files.push_back(stampOf(AT_FDCWD, file));
    for (const char* socket : kCacheSockets) state.files.push_back(stampOf(AT_FDCWD, socket));
    state.files.push_back(stampOf(AT_FDCWD, kUserDatabaseServices));
    for (const char* folder : kDropInFolders) {
        state.files.push_back(stampOf(AT_FDCWD, folder));
        eachName(folder, [&](int at, const char* name) { state.files.push_back(stampOf(at, name)); });
    }
    return state;
}

// The verdicts of the process, kept while the state they rest on stays as it was.
// Never destroyed: a thread may still judge while the program ends.
struct KeptVerdicts {
    std::mutex guard;
    DatabaseState state;
    std::map<std::pair<uid_t, gid_t>, bool> verdicts;
};
KeptVerdicts& keptVerdicts() {
    static KeptVerdicts* kept = new KeptVerdicts;
    return *kept;
}
// Owners and groups judged beyond this many start the keeping afresh.
constexpr std::size_t kMostKept = 1024;

}  // namespace

bool groupIsOwnersAloneBySystem(uid_t owner, gid_t group) {
    const DatabaseState state = databaseState();
    KeptVerdicts& kept = keptVerdicts();
    {
        std::lock_guard<std::mutex> lock(kept.guard);
        const auto found = kept.verdicts.find({owner, group});
        if (kept.state == state && found != kept.verdicts.end()) return found->second;
    }
    // Judged outside the lock: another thread's judgement waits on no reading of this one's.
    bool keep = false;
    const bool alone = judged(owner, group, keep);
    if (keep) {
        std::lock_guard<std::mutex> lock(kept.guard);
        if (kept.state != state || kept.verdicts.size() >= kMostKept) {
            kept.state = state;
            kept.verdicts.clear();
        }
        kept.verdicts[{owner, group}] = alone;
    }
    return alone;
}

bool loginAskedAbout(uid_t owner, gid_t group, std::vector<std::string>& users) {
    users.clear();
    GroupReading reading;
    if (!readDatabases(group, reading)) return false;
    for (const UserEntry& user : reading.users)
        if (user.uid != owner && reading.loginIsAsked(user)) users.push_back(user.name);
    return true;
}

}  // namespace tulo_detail
