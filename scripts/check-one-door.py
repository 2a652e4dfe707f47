#!/usr/bin/env python3
"""Fails when code outside fileio/ names a path to the operating system.

Every file the system writes, removes, copies or embeds goes through fileio/'s
walk and held folder; product code elsewhere, and the benchmarks, fuzz targets
and tools beside it, call fileio/ instead of the system's path functions.
Tests may (they plant what another user would); the host stand-in may (it
links nothing of the SDK). A short list of allowed uses, each with its reason,
is kept in scripts/one-door-allowed.txt as "<file>|<text on the line>  # why".

Usage: check-one-door.py [repository root]
"""
import os
import pathlib
import re
import sys

# Functions that take a path (or a name in a directory) and reach the file system.
CALLS = [
    "fopen", "freopen", "fopen64", "open", "open64", "openat", "creat", "TIFFOpen",
    "rename", "renameat", "renameat2", "remove", "unlink", "unlinkat", "rmdir", "mkdir", "mkdirat",
    "mkdtemp", "mkstemp", "mkstemps", "mkostemp", "tmpnam", "tempnam", "tmpfile",
    "stat", "lstat", "stat64", "fstatat", "statx", "access", "faccessat", "euidaccess",
    "opendir", "chmod", "fchmodat", "chown", "lchown", "fchownat", "truncate",
    "link", "linkat", "symlink", "symlinkat", "readlink", "readlinkat", "realpath",
    "utime", "utimes", "utimensat", "mkfifo", "mknod", "setxattr", "lsetxattr", "removexattr",
]
CALL = re.compile(r"(?<![\w.>$])(?:(?:std)?::)?(" + "|".join(CALLS) + r")\s*\(")
# Stream classes and the filesystem library name paths of their own.
TYPES = re.compile(r"\b(?:std::)?(ofstream|ifstream|fstream|filesystem::)")
SKIPPED_DIRS = ("fileio/", "host/")


def strip(text):
    """The code of a C++ source with comments, string and character literals blanked."""
    out, i, n = [], 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out.append(" " * (j - i))
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append(re.sub(r"[^\n]", " ", text[i:j]))
            i = j
        elif text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            m = re.match(r'R"([^(\s]*)\(', text[i:])
            end = text.find(")" + (m.group(1) if m else "") + '"', i)
            j = n if end < 0 else end + len(m.group(1) if m else "") + 2
            out.append(re.sub(r"[^\n]", " ", text[i:j]))
            i = j
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(c + " " * (min(j, n) - i - 1) + (c if j < n else ""))
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def checked(root):
    # Build folders are left out before they are entered: tests running beside this check make and
    # remove files in them.
    for folder, dirs, files in os.walk(root):
        rel_folder = pathlib.Path(folder).relative_to(root).as_posix()
        top = rel_folder == "."
        dirs[:] = sorted(d for d in dirs if not (d.startswith(".") or (top and d.startswith("build"))
                                                   or d in ("tests", "testkit")))
        if not top and (rel_folder + "/").startswith(SKIPPED_DIRS):
            dirs[:] = []
            continue
        for name in sorted(files):
            if pathlib.Path(name).suffix in (".cpp", ".h", ".cc", ".hpp"):
                rel = name if top else f"{rel_folder}/{name}"
                yield rel, root / rel


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    allowed = []
    for line in (root / "scripts" / "one-door-allowed.txt").read_text().splitlines():
        entry = line.split("  #", 1)[0].strip()
        if entry and not entry.startswith("#"):
            file, _, text = entry.partition("|")
            allowed.append([file.strip(), text.strip(), 0])
    found = []
    for rel, path in checked(root):
        source = path.read_text(errors="replace")
        lines = source.splitlines()
        for number, code in enumerate(strip(source).splitlines(), 1):
            hits = [m.group(1) for m in CALL.finditer(code)] + [m.group(1) for m in TYPES.finditer(code)]
            # The algorithm std::remove(first, last, value) names no file.
            if "remove" in hits and re.search(r"remove\s*\([^)]*\bbegin\s*\(", code):
                hits.remove("remove")
            if not hits:
                continue
            original = lines[number - 1] if number - 1 < len(lines) else ""
            entry = next((a for a in allowed if a[0] == rel and a[1] and a[1] in original), None)
            if entry:
                entry[2] += 1
                continue
            found.append(f"{rel}:{number}: {', '.join(sorted(set(hits)))}: {original.strip()}")
    stale = [f"{a[0]}|{a[1]}" for a in allowed if a[2] == 0]
    for line in found:
        print(line)
    for entry in stale:
        print(f"scripts/one-door-allowed.txt: no longer used: {entry}")
    if found or stale:
        print(f"{len(found)} call(s) name a path to the system outside fileio/: go through fileio/ "
              "(KFileReplacement, KHeldFolder, KScratchFolder, KOpenFileForReading ...), or list the use "
              "with its reason in scripts/one-door-allowed.txt", file=sys.stderr)
        return 1
    print("one door: no path named to the system outside fileio/")
    return 0


if __name__ == "__main__":
    sys.exit(main())
