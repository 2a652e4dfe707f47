#include "fileio/kgrouprule.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
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

// Every entry of the group database that bears the number group: each line of /etc/group as login
// reads it (a line beginning with '#' among them: login grants it, though a listing skips it as a
// comment), and the entry the system answers for the number from whatever source it asks.
bool GroupsNumbered(gid_t group, std::vector<KGroupEntry>& entries) {
    entries.clear();
    const bool whole = EachLine("/etc/group", [&](std::string_view line) {
        const std::vector<std::string_view> fields = Fields(line);
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

}  // namespace

bool KGroupIsOwnersAloneBySystem(uid_t owner, gid_t group) {
    std::vector<KGroupEntry> entries;
    std::vector<KUserEntry> users;
    if (!GroupsNumbered(group, entries) || !AllUsers(users) || !KGroupIsOwnersAlone(owner, group, entries, users))
        return false;
    // What login grants each other user is asked only where the rest leaves the group the owner's.
    for (KUserEntry& user : users)
        user.mGranted = user.mUid != owner && LoginGrants(user.mName.c_str(), user.mGroup, group);
    return KGroupIsOwnersAlone(owner, group, entries, users);
}

}  // namespace zeqsdk_400
