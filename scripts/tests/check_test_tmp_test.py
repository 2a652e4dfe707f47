#!/usr/bin/env python3
"""The check that no test names a file or folder directly in the system's temporary folder, over a
small tree of its own: each spelling, planted in a test's source, fails the check at its line (a test
case each); what names nothing there, and code that is no test's, pass."""
import contextlib
import io
import os
import pathlib
import shutil
import sys
import tempfile
import unittest

# The check is loaded as a module: no cache of it is left in the checkout.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from scratch import load_script, scratch_root  # noqa: E402


CHECK = load_script("check-test-tmp.py")

TREE = {
    "CMakeLists.txt": "add_test(NAME Tool COMMAND tool ${CMAKE_BINARY_DIR}/test-tmp/tool)\n",
    "core/core.cpp": "int Core() { return 0; }\n",
    "core/tests/core_test.cpp": "#include <cstdlib>\nvoid Test() {}\n",
    "core/testkit/kit.h": "inline void Kit() {}\n",
    "scripts/tests/tool_test.py": "import tempfile\n",
    "tools/tests/road_test.sh": "#!/bin/sh\nset -u\n",
    "scripts/test-tmp-allowed.txt": "# <file>|<text>  # why\n",
    "fuzz/road.cmake": "# Run it on a copy of its corpus:\n#   corpus=$(mktemp -d) && ./road_fuzz \"$corpus\"\n",
    "fuzz/road_fuzz.cpp": "int Road() { return 0; }\n",
    "fuzz/seed.sh": "#!/bin/sh\nset -eu\n",
}

# (name, file, code appended to it, the line the check must name, counted from the first line of
# the code): each a test case of its own.
SPELLINGS = [
    ("LiteralName", "core/tests/core_test.cpp", 'void A() { Import("/tmp/notes.txt"); }\n', 1),
    ("NameInsideACommandText", "core/tests/core_test.cpp",
     'void A() { run("file -import \\"/tmp/odd \\\\\\"scene\\\\\\\\.zeq\\""); }\n', 1),
    ("LiteralNameInVarTmp", "core/tests/core_test.cpp", 'const char* kPath = "/var/tmp/scene.zeq";\n', 1),
    ("LiteralNameInDevShm", "core/tests/core_test.cpp", 'const char* kPath = "/dev/shm/scene.zeq";\n', 1),
    ("RawLiteralName", "core/tests/core_test.cpp", 'const char* kPath = R"(/tmp/scene.zeq)";\n', 1),
    ("MkdtempTemplateInTmp", "core/tests/core_test.cpp", 'void A() { char t[] = "/tmp/zeq-XXXXXX"; mkdtemp(t); }\n', 1),
    ("TestkitHeader", "core/testkit/kit.h", 'inline const char* Where() { return "/tmp/kit.bvh"; }\n', 1),
    ("FolderLiteralJoined", "core/tests/core_test.cpp",
     'void A() { auto p = std::filesystem::path("/tmp") / "scene.zeq"; }\n', 1),
    ("FolderLiteralConcatenated", "core/tests/core_test.cpp",
     'void A() {\n  std::string p = std::string("/tmp/") + name; }\n', 2),
    ("TempDirectoryPathJoined", "core/tests/core_test.cpp",
     'void A() { auto p = std::filesystem::temp_directory_path() / "scene.zeq"; }\n', 1),
    ("TempDirectoryPathConcatenated", "core/tests/core_test.cpp",
     'void A() { auto p = fs::temp_directory_path().string() + "/scene.zeq"; }\n', 1),
    ("TmpdirSettingConcatenated", "core/tests/core_test.cpp",
     'void A() { std::string p = std::string(std::getenv("TMPDIR")) + "/scene.zeq"; }\n', 1),
    ("TmpdirSettingJoined", "core/tests/core_test.cpp",
     'void A() { auto p = std::filesystem::path(::getenv("TMPDIR")) / "scene.zeq"; }\n', 1),
    ("PTmpdir", "core/tests/core_test.cpp", 'void A() { std::string p = P_tmpdir + std::string("/x"); }\n', 1),
    ("Tmpnam", "core/tests/core_test.cpp", "void A() { char n[L_tmpnam]; std::tmpnam(n); }\n", 1),
    ("Tempnam", "core/tests/core_test.cpp", 'void A() { free(tempnam(nullptr, "zeq")); }\n', 1),
    ("Mktemp", "core/tests/core_test.cpp", "void A(char* name) { mktemp(name); }\n", 1),
    ("Tmpfile", "core/tests/core_test.cpp", "void A() { std::FILE* f = std::tmpfile(); }\n", 1),
    ("PythonLiteralName", "scripts/tests/tool_test.py", 'OUT = "/tmp/out.txt"\n', 1),
    ("PythonPathJoined", "scripts/tests/tool_test.py", 'import pathlib\nOUT = pathlib.Path("/tmp") / "out.txt"\n', 2),
    ("PythonOsPathJoin", "scripts/tests/tool_test.py", 'import os\nOUT = os.path.join("/tmp", "out.txt")\n', 2),
    ("PythonGettempdirJoined", "scripts/tests/tool_test.py",
     'OUT = os.path.join(tempfile.gettempdir(), "out.txt")\n', 1),
    ("PythonGettempdirInAPath", "scripts/tests/tool_test.py",
     'OUT = pathlib.Path(tempfile.gettempdir(), "out.txt")\n', 1),
    ("PythonGettempdirInAnFString", "scripts/tests/tool_test.py", 'OUT = f"{tempfile.gettempdir()}/out.txt"\n', 1),
    ("PythonEnvironConcatenated", "scripts/tests/tool_test.py", 'OUT = os.environ["TMPDIR"] + "/out.txt"\n', 1),
    ("PythonEnvironGetJoined", "scripts/tests/tool_test.py",
     'OUT = os.path.join(os.environ.get("TMPDIR", "/tmp"), "out.txt")\n', 1),
    ("PythonMktemp", "scripts/tests/tool_test.py", "OUT = tempfile.mktemp()\n", 1),
    ("PythonMkstempWithoutDir", "scripts/tests/tool_test.py", 'FD, OUT = tempfile.mkstemp(suffix=".zeq")\n', 1),
    ("PythonNamedTemporaryFileWithoutDir", "scripts/tests/tool_test.py",
     "with tempfile.NamedTemporaryFile() as f:\n    pass\n", 1),
    ("ShellName", "tools/tests/road_test.sh", 'out=/tmp/road.out\n', 1),
    ("ShellTmpdirName", "tools/tests/road_test.sh", 'tool > "$TMPDIR/road.out"\n', 1),
    ("ShellTmpdirBracedName", "tools/tests/road_test.sh", 'rm -rf "${TMPDIR:-/tmp}/road"\n', 1),
    ("ShellMktempFileTemplate", "tools/tests/road_test.sh", 'f=$(mktemp "$TMPDIR/road.XXXXXX")\n', 1),
    ("CMakeTestArgument", "CMakeLists.txt", "add_test(NAME Other COMMAND tool /tmp/other)\n", 1),
    ("FuzzTargetSource", "fuzz/road_fuzz.cpp", 'const char* kSeed = "/tmp/road-seed";\n', 1),
    ("FuzzSeedScript", "fuzz/seed.sh", 'out=/tmp/road-corpus\n', 1),
    ("FuzzCommandInAComment", "fuzz/road.cmake",
     "#   cp -r ../shared/testdata/road /tmp/road-corpus && ./road_fuzz /tmp/road-corpus\n", 1),
]

# What names nothing directly in the temporary folder, or is no test's: the check passes.
CLEAN = [
    ("FreshFolderUnderTheSystemsFolder", "core/tests/core_test.cpp",
     'void B() { MakeFreshFolder(std::filesystem::temp_directory_path(), "zeq"); }\n'),
    ("TmpdirSavedAndPutBack", "core/tests/core_test.cpp",
     'void B() { const char* f = std::getenv("TMPDIR"); std::string s = f ? f : ""; setenv("TMPDIR", s.c_str(), 1); }\n'),
    ("FolderAsAnExpectedText", "core/tests/core_test.cpp",
     'void B() { EXPECT_EQ(Temporary(), std::string("/tmp/")); Check({"", "/tmp/"}); }\n'),
    ("TheFoldersModeInAText", "core/tests/core_test.cpp", 'void B() { SCOPED_TRACE("/tmp\'s mode"); }\n'),
    ("TmpDeeperInAPath", "core/tests/core_test.cpp", 'void B() { Use("/home/u/tmp/x", "$HOME/tmp/x"); }\n'),
    ("Comment", "core/tests/core_test.cpp", "// not /tmp/notes.txt\n/* nor /tmp/x */\n"),
    ("ProductCode", "core/core.cpp", 'const char* kFallback = "/tmp/";\nconst char* kName = "/tmp/x";\n'),
    ("PythonFreshFolder", "scripts/tests/tool_test.py",
     "A = tempfile.mkdtemp()\nB = tempfile.TemporaryDirectory()\nC = tempfile.mkstemp(dir=A)\n"
     "D = tempfile.NamedTemporaryFile(dir=A)\nos.environ['TMPDIR'] = A\n"),
    ("ShellFreshFolder", "tools/tests/road_test.sh", 'd=$(mktemp -d "${TMPDIR:-/tmp}/road.XXXXXX")\n# /tmp/x\n'),
    ("CMakeComment", "CMakeLists.txt", "# cp -r corpus /tmp/corpus\n"),
]


class TestTmpCheck(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="test-tmp-check-", dir=scratch_root())
        self.root = pathlib.Path(self.folder, "tree")
        for rel, text in TREE.items():
            (self.root / rel).parent.mkdir(parents=True, exist_ok=True)
            (self.root / rel).write_text(text)

    def tearDown(self):
        shutil.rmtree(self.folder)

    def run_check(self):
        """The check's status and what it printed."""
        out = io.StringIO()
        with contextlib.redirect_stdout(out), contextlib.redirect_stderr(io.StringIO()):
            status = CHECK.main([str(self.root)])
        return status, out.getvalue()

    def plant(self, rel, code):
        """code appended to rel; the line count before it."""
        path = self.root / rel
        before = path.read_text()
        path.write_text(before + code)
        return before.count("\n")

    def test_clean_tree_passes(self):
        self.assertEqual(0, self.run_check()[0])

    def test_what_names_nothing_there_passes(self):
        for name, rel, code in CLEAN:
            with self.subTest(name):
                self.tearDown()
                self.setUp()
                self.plant(rel, code)
                status, out = self.run_check()
                self.assertEqual(0, status, out)

    def test_allowed_use_passes_and_unused_entry_fails(self):
        self.plant("core/tests/core_test.cpp", 'const char* kShown = "/tmp/shown";\n')
        allowed = self.root / "scripts" / "test-tmp-allowed.txt"
        allowed.write_text('core/tests/core_test.cpp|kShown = "/tmp/shown"  # a text compared, nothing touched\n')
        self.assertEqual(0, self.run_check()[0])
        allowed.write_text(allowed.read_text() + "core/tests/core_test.cpp|gone  # no longer there\n")
        status, out = self.run_check()
        self.assertEqual(1, status)
        self.assertIn("no longer used: core/tests/core_test.cpp|gone", out)


def spelling_case(rel, code, line):
    def case(self):
        first = self.plant(rel, code)
        status, out = self.run_check()
        self.assertEqual(1, status, out)
        self.assertIn(f"{rel}:{first + line}:", out)
    return case


for spelling in SPELLINGS:
    setattr(TestTmpCheck, f"test_catches_{spelling[0]}", spelling_case(*spelling[1:]))


if __name__ == "__main__":
    unittest.main()
