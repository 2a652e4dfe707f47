#ifndef ZEQ_FILEIO_TESTS_KFILEACL_H
#define ZEQ_FILEIO_TESTS_KFILEACL_H

// Tests only: a file's access control lists, mode and extended attributes as
// text, to compare what a writer leaves with what a file had or what a file
// made in the same folder gets.

#include <fcntl.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>

namespace zeqtest {

// A user named in the lists the tests give: nobody that owns a file here.
inline constexpr uid_t kNamedUser = 4242;

// path's list of type as text, one entry a line; "" when it has none or it cannot be read.
inline std::string AclOf(const std::string& path, acl_type_t type = ACL_TYPE_ACCESS) {
    const acl_t acl = ::acl_get_file(path.c_str(), type);
    if (!acl) return "";
    char* text = ::acl_to_text(acl, nullptr);
    const std::string result = text ? text : "";
    ::acl_free(text);
    ::acl_free(acl);
    return result;
}

// Gives path the list of type written in the short form ("u::rw-,u:4242:r--,g::---,m::r--,o::---").
inline bool SetAcl(const std::string& path, const char* text, acl_type_t type = ACL_TYPE_ACCESS) {
    const acl_t acl = ::acl_from_text(text);
    if (!acl) return false;
    const bool set = ::acl_set_file(path.c_str(), type, acl) == 0;
    ::acl_free(acl);
    return set;
}

// What decides who may open path: its mode and its access list.
inline std::string AccessOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return "missing";
    char mode[16];
    std::snprintf(mode, sizeof(mode), "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return std::string("mode ") + mode + "\n" + AclOf(path);
}

// What a file made in directory with open(..., 0666) gets there, under the current umask
// (the file is made, looked at and removed).
inline std::string WhatANewFileGets(const std::string& directory) {
    const std::string path = directory + "/made-as-touch-makes-it";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return "not made";
    ::close(fd);
    const std::string access = AccessOf(path);
    ::unlink(path.c_str());
    return access;
}

// The value of path's extended attribute name; nothing when it has none.
inline std::optional<std::string> AttributeOf(const std::string& path, const char* name) {
    char value[4096];
    const ssize_t size = ::getxattr(path.c_str(), name, value, sizeof(value));
    if (size < 0) return std::nullopt;
    return std::string(value, static_cast<std::size_t>(size));
}

inline bool SetAttribute(const std::string& path, const char* name, const std::string& value) {
    return ::setxattr(path.c_str(), name, value.data(), value.size(), 0) == 0;
}

// Sets or clears one of the file's flags (FS_IMMUTABLE_FL, FS_APPEND_FL: root, on a file
// system that has them); false, errno set, when not.
inline bool SetFileFlag(const std::string& path, int flag, bool on) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | flag) : (flags & ~flag);
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    const int code = errno;
    ::close(fd);
    errno = code;
    return done;
}

inline bool SetImmutable(const std::string& path, bool on) { return SetFileFlag(path, FS_IMMUTABLE_FL, on); }

}  // namespace zeqtest

#endif
