#!/usr/bin/env python3
"""The one-door check over a small tree of its own: each way of naming a path to the system,
planted in a copy, fails the check at its line; the clean tree, and what only tests use, pass."""
import contextlib
import io
import json
import os
import pathlib
import shutil
import subprocess
import tempfile
import sys
import unittest

# The check is loaded as a module: no cache of it is left in the checkout.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from scratch import load_script, scratch_root  # noqa: E402


CHECK = load_script("check-one-door.py")

# A product library (a C source and headers of other suffixes in it), a tool built with a scene
# builder kept in tests/ (also a header beside it) and a source in a top-level folder named like
# a build folder, a library of every tests/shared*.cpp, fuzz targets made in a loop, and a test
# executable with a helper header of its own. The build folder lies in the tree, as build/ does.
TREE = {
    "CMakeLists.txt": """
add_library(core STATIC core/core.cpp core/extra.c)
add_executable(tool tools/tool.cpp core/tests/scene.cpp buildtools/gen.cpp)
file(GLOB shared CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/core/tests/shared*.cpp)
add_library(shared STATIC ${shared})
function(core_add_test name)
  zeq_add_test(${name} SOURCES ${ARGN})
endfunction()
core_add_test(core_tests core/tests/core_test.cpp core/tests/scene.cpp core/tests/later.cpp core/tests/probe.cpp)
# Not configured in the build below.
zeq_add_fuzz(probe_fuzz SOURCES fuzz/probe_fuzz.cpp ${CMAKE_CURRENT_SOURCE_DIR}/core/tests/probe.cpp)
foreach(kind read write)
  zeq_add_fuzz(${kind}_fuzz SOURCES fuzz/${kind}_fuzz.cpp)
endforeach()
""",
    "core/core.cpp": """#include "core/core.h"
#include "core/extra.hh"
#include "core/extra.inl"
#include "core/extra.ipp"
#include "core/extra.tcc"
#include <fstream>
#include <vector>
struct stat;
int Core(KFile& file, KFile* other, std::vector<int>& v) {
    file.Remove("a");  // members of the project's own classes
    other->open("b");
    v.erase(std::remove(v.begin(), v.end(), 0), v.end());
    const char* text = "fopen(\\"x\\") std::system";
    KZeqLink link;
    Get(&link);
    return text != nullptr;
}
""",
    "core/core.h": "struct KFile { void Remove(const char*); void open(const char*); };\n",
    "tools/tool.cpp": '#include "core/tests/scene.h"\nint main() { return Scene(); }\n',
    "core/tests/scene.h": "int Scene();\n",
    "core/tests/scene.cpp": '#include "core/tests/scene.h"\nint Scene() { return 0; }\n',
    "core/tests/shared_rows.cpp": "int Rows() { return 0; }\n",
    "core/tests/later.cpp": "int Later() { return 0; }\n",
    "core/tests/probe.cpp": "int Probe() { return 0; }\n",
    "fuzz/probe_fuzz.cpp": "int Probe();\nint main() { return Probe(); }\n",
    "core/tests/support.h": '#include <cstdio>\ninline void Plant() { std::fclose(std::fopen("x", "w")); }\n',
    "core/tests/core_test.cpp": '#include "core/tests/support.h"\n#include <fstream>\n'
                                'void Test() { Plant(); std::ofstream("y") << 1; }\n',
    "fileio/kfile.cpp": '#include <cstdio>\nvoid Open() { std::fopen("z", "r"); }\n',
    "scripts/one-door-allowed.txt": "# <file>|<text>  # why\n",
    "core/extra.c": "int Extra(void) { return 0; }\n",
    "core/extra.hh": "", "core/extra.inl": "", "core/extra.ipp": "", "core/extra.tcc": "",
    "buildtools/gen.cpp": "int Gen() { return 0; }\n",
    "fuzz/read_fuzz.cpp": "int main() { return 0; }\n",
    "fuzz/write_fuzz.cpp": "int main() { return 0; }\n",
    # What the build made in its folder, compiled there: none of the repository's code.
    "build/CMakeCache.txt": "",
    "build/generated/made.cpp": '#include <cstdio>\nvoid Made() { std::fopen("m", "w"); }\n',
    # Neither compiled nor named by a CMake file: no product.
    "attic/old.cpp": "int Old() { return 0; }\n",
}

# (name, file, code appended to it, the line of the use the check must name, counted from the
# first line of the code).
SPELLINGS = [
    ("NamespaceAliasRemoveAll", "core/core.cpp", "namespace fs = std::filesystem;\nvoid A() { fs::remove_all(\"p\"); }\n", 2),
    ("NamespaceAliasCopyFile", "core/core.cpp", "namespace fs = std::filesystem;\nvoid A() { fs::copy_file(\"a\", \"b\"); }\n", 2),
    ("NamespaceAliasCreateDirectories", "core/core.cpp", "namespace io = std::filesystem;\nvoid A() {\n  io::create_directories(\"p\"); }\n", 3),
    ("NamespaceAliasPermissions", "core/core.cpp", "namespace fs = std::filesystem;\nvoid A() { fs::permissions(\"p\", {}); }\n", 2),
    ("UsingNamespace", "core/core.cpp", "using namespace std::filesystem;\nvoid A() { remove_all(\"p\"); }\n", 2),
    ("StdSystem", "core/core.cpp", "void A() { std::system(\"ls\"); }\n", 1),
    ("System", "core/core.cpp", "void A() { system(\"ls\"); }\n", 1),
    ("Popen", "core/core.cpp", "void A() { pclose(popen(\"ls\", \"r\")); }\n", 1),
    ("Syscall", "core/core.cpp", "void A() { syscall(SYS_unlink, \"p\"); }\n", 1),
    ("Exec", "core/core.cpp", "void A(char** v) { ::execv(\"/bin/sh\", v); }\n", 1),
    ("FunctionPointerGlobal", "core/core.cpp", "int (*const kDrop)(const char*) = &::unlink;\n", 1),
    ("FunctionPointerPlain", "core/core.cpp", "auto kDrop = &unlink;\n", 1),
    ("FunctionPassedAsValue", "core/core.cpp", "void A() { Each(names, ::remove); }\n", 1),
    ("NameAndParenthesisOnTwoLines", "core/core.cpp", "void A() {\n  ::unlink\n      (\"p\"); }\n", 2),
    ("CallOverComment", "core/core.cpp", "void A() { std::fopen /* the file */ (\"p\", \"r\"); }\n", 1),
    ("BasicOfstream", "core/core.cpp", "void A() { std::basic_ofstream<char> out(\"p\"); }\n", 1),
    ("BasicIfstream", "core/core.cpp", "void A() { std::basic_ifstream<char> in(\"p\"); }\n", 1),
    ("Filebuf", "core/core.cpp", "void A() { std::filebuf buffer; buffer.open(\"p\", std::ios::out); }\n", 1),
    ("BasicFilebuf", "core/core.cpp", "void A() { std::basic_filebuf<char> buffer; }\n", 1),
    ("CFile", "core/extra.c", "void A(void) { fopen(\"p\", \"w\"); }\n", 1),
    ("InlFile", "core/extra.inl", "inline void A() { ::remove(\"p\"); }\n", 1),
    ("IppFile", "core/extra.ipp", "inline void A() { ::rename(\"p\", \"q\"); }\n", 1),
    ("TccFile", "core/extra.tcc", "inline void A() { ::mkdir(\"p\", 0700); }\n", 1),
    ("HhFile", "core/extra.hh", "inline void A() { ::rmdir(\"p\"); }\n", 1),
    ("TestsSourceInATool", "core/tests/scene.cpp", "void A() { std::remove(\"p\"); }\n", 1),
    ("TestsHeaderInATool", "core/tests/scene.h", "inline void A() { std::ofstream out(\"p\"); }\n", 1),
    ("TestsSourceInAFuzzTargetNotBuilt", "core/tests/probe.cpp", "void A() { ::unlink(\"p\"); }\n", 1),
    ("TestsSourceByAGlob", "core/tests/shared_rows.cpp", "void A() { ::unlink(\"p\"); }\n", 1),
    ("TopFolderNamedLikeABuild", "buildtools/gen.cpp", "void A() { ::unlink(\"p\"); }\n", 1),
    ("FuzzTargetOfALoop", "fuzz/write_fuzz.cpp", "void A() { ::unlink(\"p\"); }\n", 1),
    ("MacroAlias", "core/core.cpp", "#define OPENIT fopen\nvoid A() { OPENIT(\"p\", \"w\"); }\n", 1),
    ("MacroAliasOverTwoLines", "core/core.cpp", "#define OPENER \\\n    fopen\n", 2),
    ("FunctionPassedByName", "core/core.cpp", "void A() { Each(names, unlink); }\n", 1),
    ("FunctionKeptByName", "core/core.cpp", "void A() { auto f = fopen; }\n", 1),
    ("FunctionInATable", "core/core.cpp", "Entry kEntries[] = {{\"drop\", remove}};\n", 1),
    ("Gzopen", "core/core.cpp", "void A() { gzclose(gzopen(\"p\", \"wb\")); }\n", 1),
    ("TIFFOpenExt", "core/core.cpp", "void A() { TIFFClose(TIFFOpenExt(\"p\", \"w\", nullptr)); }\n", 1),
    ("AclSetFile", "core/core.cpp", "void A(acl_t acl) { acl_set_file(\"p\", ACL_TYPE_ACCESS, acl); }\n", 1),
    ("ShmOpen", "core/core.cpp", "void A() { shm_open(\"/zeq\", O_RDWR | O_CREAT, 0600); }\n", 1),
    ("Mktemp", "core/core.cpp", "void A(char* name) { mktemp(name); }\n", 1),
    ("Fopen64", "core/core.cpp", "void A() { fopen64(\"p\", \"w\"); }\n", 1),
    ("Open64", "core/core.cpp", "void A() { ::open64(\"p\", O_RDONLY); }\n", 1),
    ("Truncate64", "core/core.cpp", "void A() { truncate64(\"p\", 0); }\n", 1),
]
# Uses only tests make, fileio/'s own, and what is no product: the check passes with them.
TEST_ONLY = [
    ("TestSource", "core/tests/core_test.cpp", "void B() { std::filesystem::remove_all(\"p\"); }\n"),
    ("TestHeader", "core/tests/support.h", "inline void B() { std::system(\"true\"); }\n"),
    ("FileIo", "fileio/kfile.cpp", "void B() { ::unlink(\"p\"); }\n"),
    ("NotBuilt", "attic/old.cpp", "void B() { ::unlink(\"p\"); }\n"),
    # The project's own names: a variable, an enumerator, a type's size.
    ("OwnVariable", "core/core.cpp", "void B(bool open) { Use(open); }\n"),
    ("OwnEnumerator", "core/core.cpp", "enum Mode { open, append };\nvoid B() { Use(open); }\n"),
    ("SizeOfAType", "core/core.cpp", "int B() { return sizeof(stat); }\n"),
]

# Code anywhere in the tree, tests and scripts above all, that changes a setting of the machine:
# (name, file, code appended to it, the line the check must name, counted as in SPELLINGS).
MACHINE_SETTINGS = [
    ("TestWritesProcSys", "core/tests/core_test.cpp",
     "void S() {\n  std::ofstream(\"/proc/sys/fs/protected_hardlinks\") << 0; }\n", 2),
    ("TestSupportNamesProcSys", "core/tests/support.h",
     "constexpr const char* kSetting = \"/proc/sys/kernel/yama/ptrace_scope\";\n", 1),
    ("ScriptCallsSysctl", "scripts/setup.sh", "#!/bin/sh\nsysctl -w fs.protected_symlinks=0\n", 2),
    ("PythonTestCallsSysctl", "scripts/tests/setup_test.py",
     "import subprocess\nsubprocess.run([\"/sbin/sysctl\", \"-w\", \"vm.overcommit_memory=1\"])\n", 2),
    ("CMakeWritesProcSys", "CMakeLists.txt", "file(WRITE /proc/sys/fs/protected_regular 0)\n", 1),
    ("CiCallsSysctl", ".ci/run", "#!/bin/sh\nsysctl fs.protected_hardlinks=0 && ./scripts/test.sh\n", 2),
    ("NotBuiltCallsSysctl", "attic/old.cpp", "void S() { sysctl(nullptr, 0, nullptr, nullptr, nullptr, 0); }\n", 1),
]


def compile_database(root, build, entries):
    """compile_commands.json naming each (target, file) as CMake's Ninja generator does."""
    build.mkdir(parents=True, exist_ok=True)
    database = [{"directory": str(build), "file": str(root / rel),
                 "command": f"c++ -I{root} -o CMakeFiles/{target}.dir/{rel}.o -c {root / rel}"}
                for target, rel in entries]
    (build / "compile_commands.json").write_text(json.dumps(database))




class OneDoorCheck(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="one-door-", dir=scratch_root())
        self.root = pathlib.Path(self.folder, "tree")
        for rel, text in TREE.items():
            (self.root / rel).parent.mkdir(parents=True, exist_ok=True)
            (self.root / rel).write_text(text)
        self.build = self.root / "build"
        compile_database(self.root, self.build, [
            ("core", "core/core.cpp"), ("core", "core/extra.c"), ("tool", "tools/tool.cpp"),
            ("tool", "core/tests/scene.cpp"), ("tool", "buildtools/gen.cpp"), ("made", "build/generated/made.cpp"),
            ("shared", "core/tests/shared_rows.cpp"), ("core_tests", "core/tests/core_test.cpp"),
            ("core_tests", "core/tests/scene.cpp"), ("core_tests", "core/tests/later.cpp"),
            ("core_tests", "core/tests/probe.cpp"),
            ("later_tool", "core/tests/later.cpp")])

    def tearDown(self):
        shutil.rmtree(self.folder)

    def run_check(self, with_build):
        """The check's status and what it printed."""
        argv = [str(self.root)] + (["--build", str(self.build)] if with_build else [])
        out = io.StringIO()
        with contextlib.redirect_stdout(out), contextlib.redirect_stderr(io.StringIO()):
            status = CHECK.main(argv)
        return subprocess.CompletedProcess(argv, status, out.getvalue(), "")

    @contextlib.contextmanager
    def planted(self, rel, code):
        """The tree with code appended to rel (made when missing) while inside; the line count
        before it."""
        path = self.root / rel
        before = path.read_text() if path.exists() else None
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text((before or "") + code)
        try:
            yield (before or "").count("\n")
        finally:
            if before is None:
                path.unlink()
            else:
                path.write_text(before)

    def test_clean_tree_passes(self):
        for with_build in (False, True):
            with self.subTest(build=with_build):
                result = self.run_check(with_build)
                self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_each_spelling_fails_at_its_line(self):
        for name, rel, code, line in SPELLINGS:
            for with_build in (False, True):
                with self.subTest(name, build=with_build), self.planted(rel, code) as first:
                    result = self.run_check(with_build)
                    self.assertEqual(result.returncode, 1, result.stdout)
                    self.assertIn(f"{rel}:{first + line}:", result.stdout)

    def test_each_setting_of_the_machine_fails_at_its_line(self):
        for name, rel, code, line in MACHINE_SETTINGS:
            with self.subTest(name), self.planted(rel, code) as first:
                result = self.run_check(True)
                self.assertEqual(result.returncode, 1, result.stdout)
                self.assertIn(f"{rel}:{first + line}: a setting of the machine:", result.stdout)
        # What only reads the process's own figures, or merely sounds alike, is no setting.
        with self.planted("core/tests/core_test.cpp", "void R() { std::ifstream(\"/proc/self/status\"); }\n"), \
                self.planted("scripts/notes.sh", "#!/bin/sh\necho /proc/system-like my_sysctl_notes\n"):
            self.assertEqual(self.run_check(True).returncode, 0, self.run_check(True).stdout)

    def test_what_only_tests_use_passes(self):
        for name, rel, code in TEST_ONLY:
            for with_build in (False, True):
                with self.subTest(name, build=with_build), self.planted(rel, code):
                    result = self.run_check(with_build)
                    self.assertEqual(result.returncode, 0, result.stdout)

    def test_alias_given_in_another_file(self):
        with self.planted("fileio/kfs.h", "namespace fs = std::filesystem;\n"), \
                self.planted("core/core.cpp", "void E() { fs::create_directories(\"p\"); }\n") as first:
            self.assertIn(f"core/core.cpp:{first + 1}: fs::", self.run_check(False).stdout)

    def test_build_decides_what_it_compiles_into_a_tool(self):
        # The CMake files name later.cpp for a test only; the build also compiles it into a tool.
        with self.planted("core/tests/later.cpp", "void C() { ::unlink(\"p\"); }\n"):
            self.assertEqual(self.run_check(False).returncode, 0)
            self.assertIn("core/tests/later.cpp:2:", self.run_check(True).stdout)

    def test_allowed_use_passes_and_unused_entry_fails(self):
        (self.root / "core/core.cpp").write_text(TREE["core/core.cpp"] + "void D() { std::fopen(\"/proc/self/status\", \"r\"); }\n")
        allowed = self.root / "scripts" / "one-door-allowed.txt"
        allowed.write_text('core/core.cpp|std::fopen("/proc/self/status"  # the kernel\'s figures\n')
        self.assertEqual(self.run_check(True).returncode, 0)
        allowed.write_text(allowed.read_text() + "core/core.cpp|std::fopen(\"gone\"  # no longer there\n")
        result = self.run_check(True)
        self.assertEqual(result.returncode, 1)
        self.assertIn("no longer used: core/core.cpp|std::fopen(\"gone\"", result.stdout)

    def test_a_tree_configured_in_place_is_checked(self):
        # cmake -S . -B . leaves CMake's files in the tree's own folders, sources beside them.
        (self.root / "CMakeCache.txt").write_text("CMAKE_HOME_DIRECTORY:INTERNAL=.\n")
        for folder in ("CMakeFiles", "core/CMakeFiles", "tools/CMakeFiles/tool.dir"):
            (self.root / folder).mkdir(parents=True)
        (self.root / "core" / "CMakeCache.txt").write_text("")
        for rel in ("core/core.cpp", "tools/tool.cpp"):
            for with_build in (False, True):
                with self.subTest(rel, build=with_build), self.planted(rel, "void P() { std::fopen(\"p\", \"w\"); }\n") as first:
                    self.assertIn(f"{rel}:{first + 1}:", self.run_check(with_build).stdout)

    def test_missing_compile_database_is_an_error(self):
        (self.build / "compile_commands.json").unlink()
        self.assertEqual(self.run_check(True).returncode, 2)


if __name__ == "__main__":
    unittest.main()
