#!/usr/bin/env python3
"""Fails when a test names a file or folder directly in the system's temporary folder.

Any user of the machine may make a name there first (a link to a file of their choosing, a pipe
that blocks the reader, a folder in the way): every name a test reads, writes, makes or removes
lies in a folder the test made fresh (mkdtemp) instead. Checked are the tests' sources (C and C++
in a tests/ or testkit/ folder, Python and shell scripts in a tests/ folder), the fuzz targets and
what goes with them (everything in fuzz/: its sources, scripts, and the commands its CMake files'
comments give to run them) and the CMake files, for these spellings:
  - a literal holding a name in the temporary folder ("/tmp/notes.txt", "/var/tmp/x",
    "/dev/shm/x", inside a longer text too: "file -import \\"/tmp/odd.zeq\\"");
  - the temporary folder joined with a name: the literal "/tmp" (or "/tmp/"), the TMPDIR setting
    (getenv, os.environ), std::filesystem::temp_directory_path(), P_tmpdir or
    tempfile.gettempdir(), followed by "/" or "+" ("temp_directory_path() / \\"x\\"") or first in a
    join (os.path.join("/tmp", "x"), Path(tempfile.gettempdir(), "x"));
  - a call that names a file there itself: tmpnam, tempnam, mktemp, tmpfile (/tmp, whatever TMPDIR
    says), and Python's tempfile.mktemp, and tempfile.mkstemp or NamedTemporaryFile without dir=;
  - in a shell script, /tmp/<name> or $TMPDIR/<name> (${TMPDIR}, ${TMPDIR:-/tmp}) but as the
    template of mktemp -d.
A short list of allowed uses, each with its reason, is kept in scripts/test-tmp-allowed.txt as
"<file>|<text on the line>  # why"; an entry no line uses fails the check too.

Usage: check-test-tmp.py [repository root]
"""
import importlib.util
import pathlib
import re
import sys

sys.dont_write_bytecode = True


def load_one_door():
    path = pathlib.Path(__file__).resolve().parent / "check-one-door.py"
    spec = importlib.util.spec_from_file_location("check_one_door", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


ONE_DOOR = load_one_door()
C_SUFFIXES = ONE_DOOR.SUFFIXES
TEST_DIRS = ONE_DOOR.TEST_DIRS
# This check and its own test name what they look for.
EXEMPT = {"scripts/check-test-tmp.py", "scripts/tests/check_test_tmp_test.py"}

TEMPORARY = r"(?:/tmp|/var/tmp|/dev/shm)"
# A name in the temporary folder, where a path starts (not "/x/tmp/y", "$HOME/tmp/y").
NAME_IN_TEMPORARY = re.compile(r"(?<![\w.~$/-])" + TEMPORARY + r"/[^\s/\"'\\][^\s\"'\\]*")
# The temporary folder alone, as a literal's whole text.
FOLDER_ALONE = re.compile(TEMPORARY + r"/?")
# Calls that make or give a name in the temporary folder themselves.
C_NAMING_CALLS = {"tmpnam", "tmpnam_r", "tempnam", "mktemp", "tmpfile", "tmpfile64"}
PY_NAMING_CALLS = {"mktemp"}
# Python calls that make a file directly in the temporary folder unless given dir=.
PY_FILE_CALLS = {"mkstemp", "NamedTemporaryFile"}
# In a Python f-string: the temporary folder put in, a name after it.
F_STRING_JOIN = re.compile(r"\{[^}]*(?:gettempdir\(\)|TMPDIR)[^}]*\}/")
JOINS = {"join", "Path", "PurePath", "PosixPath", "path"}

C_TOKEN = re.compile(r"""R"([^(\s]*)\((?:.|\n)*?\)\1"|"(?:\\.|[^"\\\n])*"|'(?:\\.|[^'\\\n])*'|//[^\n]*|/\*(?:.|\n)*?\*/"""
                     r"""|[A-Za-z_]\w*|::|->|\S""")
PY_TOKEN = re.compile(r"""[rRbBfFuU]{0,2}(?:'''(?:.|\n)*?'''|\"\"\"(?:.|\n)*?\"\"\"|'(?:\\.|[^'\\\n])*'|"(?:\\.|[^"\\\n])*")"""
                      r"""|#[^\n]*|[A-Za-z_]\w*|\S""")


def literal(text):
    """The text of a string literal token; None for any other token."""
    m = re.match(r"""(?:[rRbBfFuU]{0,2}|u8|[LuU])(?:R"([^(\s]*)\(((?:.|\n)*)\)\1"$|'''((?:.|\n)*)'''$|\"\"\"((?:.|\n)*)\"\"\"$"""
                 r"""|"((?:.|\n)*)"$|'((?:.|\n)*)'$)""", text)
    if not m:
        return None
    return next(g for g in m.groups()[1:] if g is not None)


def tokens(source, pattern):
    """(text, line) of each token, comments left out."""
    out = []
    for m in pattern.finditer(source):
        text = m.group()
        if text.startswith(("//", "/*", "#")):
            continue
        out.append((text, source.count("\n", 0, m.start()) + 1))
    return out


def reads_the_folder(names, i, python):
    """The index of the last token of an expression at i that gives the temporary folder, or -1."""
    t = names[i]
    text = literal(t)
    if text is not None:
        return i if FOLDER_ALONE.fullmatch(text) else -1
    if t == "P_tmpdir":
        return i
    nxt = names[i + 1:i + 4]
    if t in ("temp_directory_path", "gettempdir") and nxt[:2] == ["(", ")"]:
        return i + 2
    if t in ("getenv", "secure_getenv") and len(nxt) == 3 and nxt[0] == "(" and literal(nxt[1]) == "TMPDIR" \
            and nxt[2] in (")", ","):
        return close(names, i + 1)
    if python and t == "environ" and nxt[:1] == ["["] and len(nxt) > 1 and literal(nxt[1]) == "TMPDIR":
        return i + 3
    if python and t == "environ" and nxt[:3] == [".", "get", "("] and literal(names[i + 4] if i + 4 < len(names) else "") == "TMPDIR":
        return close(names, i + 3)
    return -1


def close(names, open_index):
    """The index of the parenthesis closing the one at open_index."""
    depth = 0
    for k in range(open_index, len(names)):
        depth += {"(": 1, ")": -1}.get(names[k], 0)
        if depth == 0:
            return k
    return len(names) - 1


def joined_after(names, end):
    """Whether what ends at index end has a name joined to it: '/' or '+' after it, past closing
    parentheses and conversions (.string(), .c_str(), str(...))."""
    k = end + 1
    while k < len(names):
        if names[k] == ")":
            k += 1
        elif names[k] in (".", "->") and k + 3 < len(names) and names[k + 2:k + 4] == ["(", ")"]:
            k += 4
        else:
            break
    return k < len(names) and names[k] in ("/", "+")


def expression_start(names, i):
    """The index where the qualified name at i begins (std::filesystem::x, os.environ, ::getenv)."""
    k = i
    while k >= 2 and names[k - 1] in (".", "::") and re.match(r"\w", names[k - 2]):
        k -= 2
    return k - 1 if k >= 1 and names[k - 1] == "::" else k


def first_in_a_join(names, start):
    """Whether the expression starting at start is the first of several arguments of a join."""
    k = start - 1
    # Past wrappers: str(...), std::string(...), pathlib.Path(...) around it.
    while k >= 1 and names[k] == "(" and names[k - 1] in ("str", "string"):
        k -= 2
    return k >= 1 and names[k] == "(" and names[k - 1] in JOINS


def code_hits(source, python):
    """(line, what) for each spelling in a C/C++ or Python source."""
    toks = tokens(source, PY_TOKEN if python else C_TOKEN)
    names = [t for t, _ in toks]
    found = []
    for i, (t, line) in enumerate(toks):
        text = literal(t)
        if text is not None and NAME_IN_TEMPORARY.search(text):
            found.append((line, "a name in the temporary folder: " + NAME_IN_TEMPORARY.search(text).group()))
            continue
        if python and text is not None and t[:2].lower() in ("f'", 'f"', "rf", "fr") and F_STRING_JOIN.search(text):
            found.append((line, "the temporary folder joined with a name"))
            continue
        end = reads_the_folder(names, i, python)
        if end >= 0:
            after_join = end + 1 < len(names) and names[end + 1] == ","
            if joined_after(names, end) or (after_join and first_in_a_join(names, expression_start(names, i))):
                found.append((line, "the temporary folder joined with a name"))
            continue
        before = names[i - 1] if i else ""
        after = names[i + 1] if i + 1 < len(names) else ""
        if after != "(" or before in (".", "->") and not python:
            continue
        if not python and t in C_NAMING_CALLS and before not in ("struct", "class"):
            found.append((line, f"{t}(): a name in the temporary folder"))
        elif python and before == "." and t in PY_NAMING_CALLS:
            found.append((line, f"{t}(): a name no one made"))
        elif python and t in PY_FILE_CALLS and "dir" not in names[i + 1:close(names, i + 1)]:
            found.append((line, f"{t}() without dir=: a file directly in the temporary folder"))
    return found


SHELL_NAME = re.compile(r"(?<![\w.~$/-])/tmp/[^\s/\"'\\;)]|\$\{?TMPDIR(?::-[^}]*)?\}?/[^\s\"'\\;)]")


def shell_hits(source):
    """(line, what) for each spelling in a shell script: a name in /tmp or $TMPDIR but as the
    template of mktemp -d."""
    found = []
    for number, line in enumerate(source.splitlines(), 1):
        code = re.sub(r"(^|\s)#.*", "", line)
        for m in SHELL_NAME.finditer(code):
            word = re.match(r"\S*", code[m.start():]).group()
            if re.search(r"\bmktemp\s+(-\w+\s+)*-d\b", code) and "XXX" in word:
                continue
            found.append((number, "a name in the temporary folder: " + word.strip("\"'")))
    return found


def cmake_hits(source):
    """(line, what) for each name in the temporary folder a CMake file's code gives."""
    found = []
    for number, line in enumerate(source.splitlines(), 1):
        code = re.sub(r"#.*", "", line)
        m = NAME_IN_TEMPORARY.search(code)
        if m:
            found.append((number, "a name in the temporary folder: " + m.group()))
    return found


def fuzz_cmake_hits(source):
    """(line, what) for a CMake file of the fuzz targets: its code as any CMake file's, and its
    comments as the shell commands they show how to run a target with."""
    comments = "\n".join(re.sub(r"^[^#]*#?", "", line) if "#" in line else "" for line in source.splitlines())
    return cmake_hits(source) + shell_hits(comments)


def checked(root):
    """The files to check, repository-relative, and how: "c", "python", "shell", "cmake" or
    "fuzz-cmake"."""
    def wanted(name):
        return pathlib.Path(name).suffix in C_SUFFIXES | {".py", ".sh", ".cmake"} or name == "CMakeLists.txt"
    for rel in ONE_DOOR.walk(root, wanted):
        if rel in EXEMPT:
            continue
        parts = rel.split("/")[:-1]
        suffix = pathlib.Path(rel).suffix
        fuzz = parts[:1] == ["fuzz"]
        if suffix == ".cmake" or rel.endswith("CMakeLists.txt"):
            yield rel, "fuzz-cmake" if fuzz else "cmake"
        elif suffix in C_SUFFIXES and (fuzz or any(p in TEST_DIRS for p in parts)):
            yield rel, "c"
        elif suffix == ".py" and (fuzz or "tests" in parts):
            yield rel, "python"
        elif suffix == ".sh" and (fuzz or "tests" in parts):
            yield rel, "shell"


def main(argv):
    root = pathlib.Path(argv[0] if argv else pathlib.Path(__file__).resolve().parent.parent)
    allowed_file = root / "scripts" / "test-tmp-allowed.txt"
    allowed = ONE_DOOR.read_allowed(allowed_file) if allowed_file.is_file() else []
    found = []
    for rel, kind in checked(root):
        source = (root / rel).read_text(errors="replace")
        hits = {"c": lambda s: code_hits(s, False), "python": lambda s: code_hits(s, True),
                "shell": shell_hits, "cmake": cmake_hits, "fuzz-cmake": fuzz_cmake_hits}[kind](source)
        lines = source.splitlines()
        for number, what in sorted(set(hits)):
            original = lines[number - 1] if number - 1 < len(lines) else ""
            if not ONE_DOOR.is_allowed(allowed, rel, original):
                found.append(f"{rel}:{number}: {what}: {original.strip()}")
    stale = [f"{a[0]}|{a[1]}" for a in allowed if a[2] == 0]
    for line in found:
        print(line)
    for entry in stale:
        print(f"scripts/test-tmp-allowed.txt: no longer used: {entry}")
    if found or stale:
        print(f"{len(found)} name(s) a test gives directly in the system's temporary folder: make them in a "
              "folder the test makes fresh (zeqtest::MakeFreshFolder, tempfile.mkdtemp(dir=...), mktemp -d), "
              "or list the use with its reason in scripts/test-tmp-allowed.txt", file=sys.stderr)
        return 1
    print("no test names a file or folder directly in the system's temporary folder")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
