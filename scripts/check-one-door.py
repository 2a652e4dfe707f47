#!/usr/bin/env python3
"""Fails when code outside fileio/ names a path to the operating system.

Every file the system writes, removes, copies or embeds goes through fileio/'s
walk and held folder; product code elsewhere, and the benchmarks, fuzz targets
and tools beside it, call fileio/ instead of the system's path functions.
Code only tests use may (it plants what another user would); the host stand-in
may (it links nothing of the SDK). A short list of allowed uses, each with its
reason, is kept in scripts/one-door-allowed.txt as "<file>|<text on the line>  # why".

The files checked are what the build makes products of, whatever folder they lie in:
  - with a build folder (--build, as CTest runs it), each repository file its
    compile_commands.json compiles into a target that is not a test target;
  - each file a CMake command names for a target that is not a test target: this covers
    targets the build does not configure (fuzz targets; benchmarks in a build without them),
    and is all there is without a build folder;
  - every repository header (or source) a checked file includes.
A file compiled into, or named for, a test target alone is left out only where it lies in a
tests/ or testkit/ folder: anywhere else it is checked all the same. A test target is one made
by zeq_add_test (or a function that calls it), or a library linking the test framework. What
neither the build compiles nor a CMake file names is no product, and is not checked; nor is
anything in a build folder (what the build generates).

No code of the tree, tests and scripts above all, changes a setting of the machine: it fails
for every source, script or CMake file (.ci/ too) that names /proc/sys or sysctl, whatever it is
built into. A test that would need such a setting makes what it needs itself, or skips.

Usage: check-one-door.py [repository root] [--build BUILD_FOLDER]...
"""
import json
import os
import pathlib
import re
import sys

# Functions that take a path (or a name in a directory) and reach the file system, or hand a
# command or a program to run to the system.
CALLS = {
    "fopen", "freopen", "fopen64", "open", "open64", "openat", "openat2", "creat", "TIFFOpen",
    "rename", "renameat", "renameat2", "remove", "unlink", "unlinkat", "rmdir", "mkdir", "mkdirat",
    "mkdtemp", "mkstemp", "mkstemps", "mkostemp", "mkostemps", "tmpnam", "tempnam", "tmpfile",
    "stat", "lstat", "stat64", "lstat64", "fstatat", "statx", "statfs", "statvfs", "access",
    "faccessat", "euidaccess", "eaccess", "opendir", "scandir", "nftw", "ftw", "chdir", "chroot",
    "chmod", "fchmodat", "chown", "lchown", "fchownat", "truncate", "pathconf",
    "link", "linkat", "symlink", "symlinkat", "readlink", "readlinkat", "realpath",
    "utime", "utimes", "utimensat", "futimesat", "mkfifo", "mkfifoat", "mknod", "mknodat",
    "setxattr", "lsetxattr", "getxattr", "lgetxattr", "listxattr", "llistxattr", "removexattr",
    "lremovexattr", "mktemp", "shm_open", "shm_unlink",
    # The libraries' own openers of a path: compressed files, images, access control lists.
    "gzopen", "gzopen_w", "TIFFOpenExt", "TIFFOpenW", "TIFFOpenWExt", "acl_set_file", "acl_get_file",
    "acl_delete_def_file",
    # A shell command, or a program by its path.
    "system", "popen", "syscall", "execv", "execve", "execvp", "execvpe", "execl", "execle",
    "execlp", "execveat", "posix_spawn", "posix_spawnp",
}
# The large-file forms (fopen64, open64, stat64 ...) reach the same files.
CALLS |= {name + "64" for name in CALLS}
# Streams that open a path of their own.
STREAMS = {
    "ofstream", "ifstream", "fstream", "filebuf", "wofstream", "wifstream", "wfstream", "wfilebuf",
    "basic_ofstream", "basic_ifstream", "basic_fstream", "basic_filebuf",
}
# What a file that brings std::filesystem's names in (using namespace, using-declarations) may
# call unqualified.
FILESYSTEM_CALLS = {
    "absolute", "canonical", "copy", "copy_file", "copy_symlink", "create_directories",
    "create_directory", "create_directory_symlink", "create_hard_link", "create_symlink",
    "current_path", "directory_iterator", "equivalent", "exists", "file_size", "hard_link_count",
    "is_directory", "is_regular_file", "is_symlink", "last_write_time", "permissions", "read_symlink",
    "recursive_directory_iterator", "remove", "remove_all", "rename", "resize_file", "space", "status",
    "symlink_status", "temp_directory_path", "weakly_canonical",
}
SUFFIXES = {".c", ".cc", ".cpp", ".cxx", ".h", ".hh", ".hpp", ".inl", ".ipp", ".tcc"}
SKIPPED_DIRS = ("fileio/", "host/")
TEST_DIRS = {"tests", "testkit"}
KEYWORDS = {"return", "case", "else", "do", "throw", "co_return", "co_await", "co_yield", "sizeof", "delete", "new",
            "not", "and", "or", "xor", "bitand", "bitor", "compl"}
ALIAS = re.compile(r"\bnamespace\s+(\w+)\s*=[\w:\s]*\bfilesystem\b")
INCLUDE = re.compile(r"[ \t]*#[ \t]*include\b")
DEFINE = re.compile(r"[ \t]*#[ \t]*define[ \t]+\w+(\([^)]*\))?")
# The tokens around a function's name that make it a value, passed or kept ("Each(unlink)",
# "auto f = fopen;"), rather than a call or a declaration.
VALUE_BEFORE = {"(", ",", "=", "return", "{", "?"}
VALUE_AFTER = {",", ")", ";", "}"}
TOKEN = re.compile(r"[A-Za-z_]\w*|::|->|&&|\S")


SPECIAL = re.compile(r"""//|/\*|(?<![\w])R"|"|(?<![\w])'""")


def strip(text):
    """The code of a C++ source with comments, string and character literals blanked."""
    out, i, n = [], 0, len(text)
    blank = lambda piece: re.sub(r"[^\n]", " ", piece)
    while i < n:
        m = SPECIAL.search(text, i)
        if not m:
            out.append(text[i:])
            break
        out.append(text[i:m.start()])
        i, kind = m.start(), m.group()
        if kind == "//":
            j = text.find("\n", i)
            j = n if j < 0 else j
            out.append(" " * (j - i))
        elif kind == "/*":
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append(blank(text[i:j]))
        elif kind == 'R"':
            d = re.match(r'R"([^(\s]*)\(', text[i:i + 20])
            delimiter = d.group(1) if d else ""
            end = text.find(")" + delimiter + '"', i)
            j = n if end < 0 else end + len(delimiter) + 2
            out.append(blank(text[i:j]))
        else:
            j = i + 1
            while j < n and text[j] != kind and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(kind + " " * (min(j, n) - i - 1) + (kind if j < n else ""))
            j += 1
        i = j
    return "".join(out)


def tokens(code):
    """(text, line) of each token of stripped code, #include lines left out (they name headers,
    not paths); and the indexes of the tokens a #define replaces its name with."""
    out, replacement, continued = [], set(), False
    for number, line in enumerate(code.split("\n"), 1):
        if INCLUDE.match(line):
            continue
        define = DEFINE.match(line)
        start = define.end() if define else 0
        if define or continued:
            replacement.update(range(len(out) + len(TOKEN.findall(line[:start])),
                                     len(out) + len(TOKEN.findall(line))))
        out.extend((t, number) for t in TOKEN.findall(line))
        continued = (define is not None or continued) and line.rstrip().endswith("\\")
    return out, replacement


def argument_count(toks, open_index):
    """The number of arguments of the call whose '(' is at open_index."""
    depth, count, empty = 0, 1, True
    for text, _ in toks[open_index:]:
        if text in "([{":
            depth += 1
        elif text in ")]}":
            depth -= 1
            if depth == 0:
                return 0 if empty else count
        elif text == "," and depth == 1:
            count += 1
        if depth >= 1 and text not in "(":
            empty = False
    return count


def hits(source, aliases=()):
    """(line, name) for each use of the system's path functions in a C++ source; aliases: names
    other files give std::filesystem."""
    toks, replacement = tokens(strip(source))
    names = [t for t, _ in toks]
    aliases = set(aliases)
    calls = set(CALLS)
    for i, t in enumerate(names):
        if t == "namespace" and i + 2 < len(names) and names[i + 2] == "=":
            end = names.index(";", i) if ";" in names[i:] else len(names)
            if "filesystem" in names[i + 3:end]:
                aliases.add(names[i + 1])
        if t == "using" and "filesystem" in names[i:i + 8]:
            calls |= FILESYSTEM_CALLS
    # Names of the list the file declares as its own variables ("KZeqLink& link", "bool* open"):
    # "&link" there takes a variable's address, not a function's.
    def type_before(k):
        return k >= 0 and (names[k] == ">" or (re.match(r"\w", names[k]) and names[k] not in KEYWORDS))

    variables = {t for i, t in enumerate(names[:-1]) if i and t in calls
                 and names[i + 1] in (";", "=", "{", ",", ")", "[", ":")
                 and (type_before(i - 1) or (names[i - 1] in ("&", "*", "&&") and type_before(i - 2)))}
    # And the enumerators it declares ("enum Mode { open, append }").
    for i in [k for k, t in enumerate(names) if t == "enum"]:
        end = next((k for k in range(i, len(names)) if names[k] in (";", "}")), len(names))
        variables |= {names[k] for k in range(i + 1, end) if names[k - 1] in ("{", ",") and names[k] in calls}
    found = []
    interesting = calls | STREAMS | aliases | {"filesystem"}
    for i in [k for k, t in enumerate(names) if t in interesting]:
        t, line = toks[i]
        before = names[i - 1] if i > 0 else ""
        after = names[i + 1] if i + 1 < len(names) else ""
        if before in (".", "->"):
            continue  # a member of the project's own classes
        if t == "filesystem" or t in STREAMS:
            found.append((line, t))
        elif i in replacement and t in calls:
            found.append((line, t))  # a macro standing for it ("#define OPENIT fopen")
        elif t in aliases and after == "::" and before != "namespace":
            found.append((line, f"{t}::"))
        elif t in calls and before not in ("struct", "class", "enum", "union"):
            # ::name or std::name: the system's own; the token before that qualification.
            system_own = before == "::" and (i < 2 or names[i - 2] == "std" or not re.match(r"\w", names[i - 2]))
            ahead = names[i - 3 if system_own and i >= 3 and names[i - 2] == "std" else i - 2] if system_own else before
            if after == "(" and (type_before(i - 1) or (before in ("*", "&", "&&") and type_before(i - 2))):
                continue  # a declaration of the project's own function or method ("void open(...)")
            if after == "(":
                # The algorithm std::remove(first, last, value) names no file.
                if t == "remove" and argument_count(toks, i + 1) > 1:
                    continue
                found.append((line, t))
            elif ahead == "&" and (system_own or (before == "&" and t not in variables)):
                found.append((line, f"&{t}"))  # taken as a function pointer
            elif system_own and after in (",", ")", ";", "}", ">"):
                found.append((line, t))  # passed as a value
            elif before in VALUE_BEFORE and after in VALUE_AFTER and t not in variables \
                    and not (before == "(" and i >= 2 and names[i - 2] in ("sizeof", "alignof")):
                found.append((line, t))  # passed or kept by its name alone
    return found


# The machine's settings: the kernel's files under /proc/sys, and the command or call that sets them.
MACHINE_SETTINGS = re.compile(r"/proc/sys\b|(?<![\w.-])sysctl(?![\w-])")
SCRIPT_SUFFIXES = {".py", ".sh", ".bash", ".cmake"}
# This check and its own test name what they look for.
SETTINGS_EXEMPT = {"scripts/check-one-door.py", "scripts/tests/check_one_door_test.py"}


def machine_settings(root):
    """(file, line, text) for each line of code, script or CMake file in the tree (the CI folder's
    files too) that names a setting of the machine."""
    def code(name):
        return pathlib.Path(name).suffix in SUFFIXES | SCRIPT_SUFFIXES or name == "CMakeLists.txt"
    files = list(walk(root, code))
    ci = root / ".ci"
    if ci.is_dir():
        files += [f".ci/{name}" for name in sorted(os.listdir(ci)) if (ci / name).is_file()]
    found = []
    for rel in files:
        if rel in SETTINGS_EXEMPT:
            continue
        for number, line in enumerate((root / rel).read_text(errors="replace").splitlines(), 1):
            if MACHINE_SETTINGS.search(line):
                found.append((rel, number, line.strip()))
    return found


def is_build_folder(path):
    """A folder CMake configured (or is configuring): what is there the build made. A folder of the
    tree configured in place (cmake -S . -B .) holds CMake's files too: its CMakeLists.txt or its own
    sources say it is the tree's, and it is checked all the same."""
    if not ((path / "CMakeCache.txt").exists() or (path / "CMakeFiles").is_dir()):
        return False
    try:
        names = os.listdir(path)
    except OSError:
        return True
    return "CMakeLists.txt" not in names and not any(pathlib.Path(name).suffix in SUFFIXES for name in names)


def walk(root, wanted=lambda name: pathlib.Path(name).suffix in SUFFIXES):
    """Repository-relative paths of the wanted files of the tree (by default the C and C++ files),
    build folders left out, whatever their names, before they are entered: tests running beside
    this check make and remove files in them."""
    for folder, dirs, files in os.walk(root):
        rel_folder = pathlib.Path(folder).relative_to(root).as_posix()
        dirs[:] = sorted(d for d in dirs if not d.startswith(".") and d != "CMakeFiles"
                         and not is_build_folder(pathlib.Path(folder, d)))
        for name in sorted(files):
            if wanted(name):
                yield name if rel_folder == "." else f"{rel_folder}/{name}"


def exempt(rel):
    return rel.startswith(SKIPPED_DIRS)


def in_test_folder(rel):
    return any(part in TEST_DIRS for part in rel.split("/")[:-1])


def cmake_commands(text):
    """(name, arguments) of each command of a CMake file, arguments unquoted."""
    text = re.sub(r"#\[\[.*?\]\]", " ", text, flags=re.S)
    text = re.sub(r'#[^\n]*', " ", re.sub(r'"[^"]*"', lambda m: m.group().replace("#", "\0"), text))
    text = text.replace("\0", "#")
    out, i = [], 0
    for m in re.finditer(r"([A-Za-z_]\w*)\s*\(", text):
        if m.start() < i:
            continue
        depth, j = 1, m.end()
        while j < len(text) and depth:
            depth += {"(": 1, ")": -1}.get(text[j], 0)
            j += 1
        args = re.findall(r'"[^"]*"|[^\s()]+', text[m.end():j - 1])
        out.append((m.group(1).lower(), [a.strip('"') for a in args]))
        i = j
    return out


def unrolled(commands):
    """The commands with each foreach() over items it lists repeated once an item, the item put
    in place of its variable; a loop over what a variable holds is kept once, as written."""
    out, i = [], 0
    while i < len(commands):
        name, args = commands[i]
        if name != "foreach" or not args:
            out.append(commands[i])
            i += 1
            continue
        depth, j = 1, i + 1
        while j < len(commands) and depth:
            depth += {"foreach": 1, "endforeach": -1}.get(commands[j][0], 0)
            j += 1
        body = unrolled(commands[i + 1:j - 1])
        var, items = args[0], args[1:]
        if items[:2] == ["IN", "ITEMS"]:
            items = items[2:]
        items = [] if items[:1] in (["IN"], ["RANGE"]) else [x for x in items if "${" not in x]
        if not items:
            out.extend(body)
        for item in items:
            out.extend((n, [a.replace("${%s}" % var, item) for a in body_args]) for n, body_args in body)
        i = j
    return out


class CMakeView:
    """What the CMake files of the tree say about test targets and the files each command names."""

    def __init__(self, root, candidates):
        self.root, self.candidates = root, candidates
        parsed = [(root / rel, unrolled(cmake_commands((root / rel).read_text(errors="replace"))))
                  for rel in walk(root, lambda name: name == "CMakeLists.txt" or name.endswith(".cmake"))]
        # Functions that make a test executable: zeq_add_test and every function calling one.
        bodies = {}
        for _, commands in parsed:
            current = None
            for name, args in commands:
                if name == "function" and args:
                    current = args[0].lower()
                    bodies[current] = []
                elif name == "endfunction":
                    current = None
                elif current:
                    bodies[current].append(name)
        makers = {"zeq_add_test"}
        while True:
            more = {f for f, called in bodies.items() if f not in makers and makers & set(called)}
            if not more:
                break
            makers |= more
        self.test_targets, libraries, links = set(), {}, {}
        for _, commands in parsed:
            for name, args in commands:
                if name in makers and args and not args[0].startswith("$"):
                    self.test_targets.add(args[0])
                elif name == "add_library" and args:
                    libraries[args[0]] = True
                elif name == "target_link_libraries" and args:
                    links.setdefault(args[0], []).extend(args[1:])
        # A library linking the test framework is test support.
        self.test_targets |= {lib for lib in libraries if any(a.startswith("GTest::") for a in links.get(lib, []))}
        # What file(GLOB), set() and list(APPEND) put in a variable: the files are named where the
        # variable is used.
        variables = {}
        for path, commands in parsed:
            for name, args in commands:
                if name == "file" and len(args) > 1 and args[0].upper().startswith("GLOB"):
                    variables.setdefault(args[1], set()).update(
                        f for a in args[2:] for f in self.resolve(path.parent, a, True))
                elif (name == "set" and args) or (name == "list" and len(args) > 1 and args[0].upper() == "APPEND"):
                    var, values = (args[0], args[1:]) if name == "set" else (args[1], args[2:])
                    variables.setdefault(var, set()).update(f for a in values for f in self.resolve(path.parent, a, False))
        # Each file named: True while every naming command makes a test target.
        self.named = {}
        for path, commands in parsed:
            for name, args in commands:
                if name in ("function", "endfunction", "macro", "endmacro", "file", "set", "list"):
                    continue
                target = args[0] if args else ""
                test_use = name in makers or (name in ("add_library", "target_sources") and target in self.test_targets)
                for arg in args:
                    used = re.fullmatch(r"\$\{(\w+)\}", arg)
                    files = variables.get(used.group(1), set()) if used else self.resolve(path.parent, arg, False)
                    for rel in files:
                        self.named[rel] = self.named.get(rel, True) and test_use

    def resolve(self, folder, arg, globbing):
        """The candidate files an argument of a CMake command in folder names."""
        if not globbing and not re.search(r"\.(" + "|".join(s[1:] for s in SUFFIXES) + r")$", arg):
            return []
        known = {"CMAKE_CURRENT_SOURCE_DIR": folder, "CMAKE_CURRENT_LIST_DIR": folder,
                 "PROJECT_SOURCE_DIR": self.root, "CMAKE_SOURCE_DIR": self.root}
        m = re.match(r"\$\{(\w+)\}/", arg)
        if m and m.group(1) in known:
            folder, arg = known[m.group(1)], arg[m.end():]
        rest = re.sub(r"^(\$\{[^}]*\}/)+", "", arg)
        if "${" in rest:
            return []
        if rest != arg:
            # ${SOME_DIR}/x: any candidate ending so.
            pattern, anchored = rest, False
        else:
            pattern, anchored = os.path.relpath(os.path.normpath(folder / rest), self.root), True
            if pattern.startswith(".."):
                return []
        if not globbing:
            if anchored:
                return [pattern] if pattern in self.candidates else []
            return [c for c in self.candidates if c == pattern or c.endswith("/" + pattern)]
        # '*' stays within one folder, as in CMake's GLOB.
        match = re.compile(("" if anchored else "(?:.*/)?") +
                           "".join("[^/]*" if c == "*" else "[^/]" if c == "?" else re.escape(c) for c in pattern) + "$")
        return [c for c in self.candidates if match.match(c)]


def compiled_targets(root, build):
    """Each repository file the build compiles, with the targets it goes into; what lies in a
    build folder (generated) left out."""
    database = json.loads((build / "compile_commands.json").read_text())
    targets, include_dirs = {}, set()
    real_root = root.resolve()
    for entry in database:
        path = pathlib.Path(entry["directory"], entry["file"]).resolve()
        try:
            rel = path.relative_to(real_root).as_posix()
        except ValueError:
            continue
        if any(is_build_folder(folder) for folder in path.parents if real_root in folder.parents):
            continue
        command = entry.get("command") or " ".join(entry.get("arguments", []))
        m = re.search(r"CMakeFiles/([^/\s]+)\.dir/", entry.get("output", "") or command)
        targets.setdefault(rel, set()).add(m.group(1) if m else "")
        for d in re.findall(r"(?:^|\s)-I\s*(\S+)", command):
            try:
                include_dirs.add(pathlib.Path(entry["directory"], d).resolve().relative_to(real_root).as_posix())
            except ValueError:
                pass
    return targets, include_dirs


def checked(root, builds):
    """The repository-relative paths to check: the files the build (or the CMake files) makes
    products of, and what they include."""
    every = set(walk(root))
    view = CMakeView(root, every)
    compiled, include_dirs = {}, set()
    for build in builds:
        targets, dirs = compiled_targets(root, build)
        for rel, names in targets.items():
            compiled.setdefault(rel, set()).update(names)
        include_dirs |= dirs

    def product(rel):
        if not in_test_folder(rel):
            return True
        # Both must agree: the CMake files also name targets this build does not configure.
        if rel in compiled and not all(t in view.test_targets for t in compiled[rel]):
            return True
        return view.named.get(rel) is False

    result = {rel for rel in set(compiled) | set(view.named) if not exempt(rel) and product(rel)}
    # The repository's headers (or sources) a checked file includes are checked too.
    existing = {rel for rel in every if not exempt(rel)}
    pending = sorted(result)
    while pending:
        rel = pending.pop()
        text = (root / rel).read_text(errors="replace")
        for name in re.findall(r'(?m)^[ \t]*#[ \t]*include[ \t]*"([^"]+)"', text):
            folder = str(pathlib.PurePosixPath(rel).parent)
            options = [os.path.normpath(os.path.join(folder, name)), os.path.normpath(name)]
            options += [os.path.normpath(os.path.join(d, name)) for d in include_dirs]
            found = [o for o in options if o in existing]
            if not found:
                # Without the build's include folders: any file of the tree so named.
                found = [e for e in existing if e.endswith("/" + name)]
            for o in found:
                if o not in result:
                    result.add(o)
                    pending.append(o)
    return sorted(result)


def read_allowed(path):
    """The entries of a list of allowed uses, "<file>|<text on the line>  # why" a line: [file,
    text, times used] each."""
    allowed = []
    for line in path.read_text().splitlines():
        entry = line.split("  #", 1)[0].strip()
        if entry and not entry.startswith("#"):
            file, _, text = entry.partition("|")
            allowed.append([file.strip(), text.strip(), 0])
    return allowed


def is_allowed(allowed, rel, line):
    """Whether an entry allows this line of rel; the entry's use is counted."""
    entry = next((a for a in allowed if a[0] == rel and a[1] and a[1] in line), None)
    if entry:
        entry[2] += 1
    return entry is not None


def main(argv):
    args, builds = [], []
    i = 0
    while i < len(argv):
        if argv[i] == "--build" and i + 1 < len(argv):
            builds.append(pathlib.Path(argv[i + 1]))
            i += 2
        else:
            args.append(argv[i])
            i += 1
    root = pathlib.Path(args[0] if args else pathlib.Path(__file__).resolve().parent.parent)
    for build in builds:
        if not (build / "compile_commands.json").is_file():
            print(f"{build}: no compile_commands.json (configure with CMAKE_EXPORT_COMPILE_COMMANDS)",
                  file=sys.stderr)
            return 2
    allowed = read_allowed(root / "scripts" / "one-door-allowed.txt")
    # An alias of std::filesystem a header gives (fileio's too) is one wherever it is included.
    aliases = set()
    for rel in walk(root):
        text = (root / rel).read_text(errors="replace")
        if ALIAS.search(text):
            aliases.update(ALIAS.findall(strip(text)))
    found = []
    for rel in checked(root, builds):
        source = (root / rel).read_text(errors="replace")
        lines = source.splitlines()
        by_line = {}
        for number, name in hits(source, aliases):
            by_line.setdefault(number, set()).add(name)
        for number, names in sorted(by_line.items()):
            original = lines[number - 1] if number - 1 < len(lines) else ""
            if not is_allowed(allowed, rel, original):
                found.append(f"{rel}:{number}: {', '.join(sorted(names))}: {original.strip()}")
    stale = [f"{a[0]}|{a[1]}" for a in allowed if a[2] == 0]
    settings = machine_settings(root)
    for line in found:
        print(line)
    for entry in stale:
        print(f"scripts/one-door-allowed.txt: no longer used: {entry}")
    for rel, number, text in settings:
        print(f"{rel}:{number}: a setting of the machine: {text}")
    if settings:
        print(f"{len(settings)} line(s) naming a setting of the machine (/proc/sys, sysctl): no test or script "
              "changes the machine; make what the test needs, or skip it with the reason", file=sys.stderr)
    if found or stale:
        print(f"{len(found)} use(s) of the system's path functions outside fileio/: go through fileio/ "
              "(KFileReplacement, KHeldFolder, KScratchFolder, KOpenFileForReading ...), or list the use "
              "with its reason in scripts/one-door-allowed.txt", file=sys.stderr)
        return 1
    if settings:
        return 1
    print("one door: no path named to the system outside fileio/, and no setting of the machine named")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
