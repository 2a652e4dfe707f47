#!/usr/bin/env python3
"""scripts/run.sh over stand-ins for CMake and the main job's programs: the terminal gets the
stages and the verdict alone, and the log it names gets all the stages printed (the host's results,
the listed differences) with those lines; a failing stage shows its last lines, its name and the
log, and the status is 1. Stopped at any stage (Ctrl-C, SIGTERM, SIGHUP), it ends that stage's
whole process group before it ends, and says so.

Whatever it starts ends with it, as the test script's test does (see scriptprocs.py); its waits
are bounded."""
import grp
import os
import pathlib
import pwd
import shutil
import signal
import stat
import struct
import subprocess
import sys
import tempfile
import time
import unittest

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from scratch import WAIT_SECONDS, scratch_root  # noqa: E402
from scriptprocs import (FOLDERS, end, end_with_a_stop, group_of, group_runs, kill_noted, reached, runs,  # noqa: E402
                         start, stop)

SCRIPTS = pathlib.Path(__file__).resolve().parent.parent


def group_is_mine_alone(gid):
    """Whether the group is this user's private group, no one else's: never for root."""
    me = pwd.getpwuid(os.getuid())
    try:
        group = grp.getgrgid(gid)
    except KeyError:
        return False
    return (os.getuid() != 0 and gid == me.pw_gid and group.gr_name == me.pw_name
            and all(member == me.pw_name for member in group.gr_mem)
            and all(user.pw_gid != gid or user.pw_uid == me.pw_uid for user in pwd.getpwall()))

# Each stand-in prints what its program would, at length; $STUB_FAIL names one that fails. The
# stand-in of the stage $STUB_HANG runs until it is stopped, with a worker of its own (as CMake
# runs Ninja) writing into the log, which on SIGTERM ends a moment later, with a last line in the
# log (as Ninja says it stopped; whatever the stage pipes its output through has ended by then, and
# its writes there fail without ending it):
# both note their process ids in $STUB_PIDS, then it says it is under way ($STUB_PIDS.ready) once
# the worker's first line has gone through whatever the stage pipes it through into the log, where
# the test looks for it (waiting at most as long as a test waits for a step).
STUBS = {
    "bin/hang.sh": """[ "$STUB_HANG" = "$stage" ] || return 0
sh -c 'trap "sleep 0.5; echo \\"$0: stopped\\" >> \\"$ZEQ_RUN_OUTPUT_DIR/main-job.log\\"; exit 2" TERM; trap "" PIPE
       echo $$ >> "$STUB_PIDS"; while :; do echo "$0: still writing"; sleep 0.05; done' "$stage" &
echo $$ >> "$STUB_PIDS"
while [ $(wc -l < "$STUB_PIDS") -lt 2 ]; do sleep 0.01; done
n=0
until grep -qxF "$stage: still writing" "$ZEQ_RUN_OUTPUT_DIR/main-job.log" || [ $n -ge 30000 ]; do
  sleep 0.01
  n=$((n + 1))
done
: > "$STUB_PIDS.ready"
wait
""",
    "bin/dpkg-query": "#!/bin/sh\nprintf 'install ok installed'\n",
    # The system's user and group listings, or the test's own where it gives them ($STUB_PASSWD,
    # $STUB_GROUP): an entry by name or number, or the whole listing.
    "bin/getent": """#!/bin/sh
[ -n "${STUB_PASSWD:-}" ] || exec env PATH=/usr/bin:/bin getent "$@"
case $1 in passwd) file=$STUB_PASSWD ;; group) file=$STUB_GROUP ;; *) exit 1 ;; esac
[ $# -ge 2 ] || exec cat "$file"
awk -F: -v k="$2" '$1 == k || $3 == k {print; found = 1; exit} END {exit found ? 0 : 2}' "$file"
""",
    "bin/cmake": "#!/bin/sh\nstage=build . \"$STUB_BIN/hang.sh\"\n"
                 "for i in $(seq 40); do echo \"-- configuring line $i\"; done\n",
    "build/tools/zeqroundtrip": "#!/bin/sh\nstage='SDK round trip' . \"$STUB_BIN/hang.sh\"\n"
                                "echo 'Round trip: 9 curves of 1000 keys'\n",
    "build/host/tulo-standin": """#!/bin/sh
stage='plug-in road' . "$STUB_BIN/hang.sh"
if [ "$STUB_FAIL" = tulo-standin ]; then
  echo "// Warning: the plug-in file \\"$TULO_PLUG_IN_PATH/libzeqtulo.so\\" is not loaded: other users may write it"
  echo "tulo-standin: no plug-in zeqtulo on the path" >&2
  echo "tulo-standin: not run after the failure: -c argument 1" >&2
  exit 1
fi
n=0
for a in "$@"; do
  [ "$a" = -c ] || continue
  n=$((n + 1))
  echo "// Progress: -c argument $n started"
  echo "// Result: 1"
  echo "// Progress: -c argument $n done"
done
""",
    "build/tools/zeqcompare": """#!/bin/sh
for i in $(seq 30); do echo "  expected    files Model Model::leg.geometry[$i] different: 0.75 != 1"; done
if [ "$STUB_FAIL" = zeqcompare ]; then
  echo "  UNEXPECTED  files Model Model::arm different"
  echo "Comparison failed: 31 difference(s), 1 unexpected"
  exit 1
fi
echo "Comparison passed: 30 difference(s), 0 unexpected, 0 from known faults, 0 stale entries"
""",
    "build/plugin/libzeqtulo.so": "",
}


class RunScript(unittest.TestCase):
    def setUp(self):
        self.folder = pathlib.Path(tempfile.mkdtemp(prefix="run-script-", dir=scratch_root()))
        FOLDERS.add(self.folder)
        scripts = self.folder / "tree" / "scripts"
        scripts.mkdir(parents=True)
        for name in ("run.sh", "steps.sh", "deps.sh", "plugin-road.sh"):
            shutil.copy(SCRIPTS / name, scripts / name)
        for rel, text in STUBS.items():
            path = self.folder / rel
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text)
            path.chmod(stat.S_IRWXU)
        self.out = self.folder / "out"
        self.log = self.out / "main-job.log"

    def tearDown(self):
        shutil.rmtree(self.folder)
        FOLDERS.discard(self.folder)

    def environment(self, stub):
        env = {k: v for k, v in os.environ.items() if not k.startswith(("ZEQ_", "STUB_"))}
        env.update({"PATH": f"{self.folder / 'bin'}:{env.get('PATH', '/usr/bin:/bin')}",
                    "ZEQ_RUN_BUILD_DIR": str(self.folder / "build"), "ZEQ_RUN_OUTPUT_DIR": str(self.out),
                    "STUB_BIN": str(self.folder / "bin")})
        env.update({f"STUB_{k.upper()}": v for k, v in stub.items()})
        return env

    def run_script(self, **stub):
        result = subprocess.run(["bash", str(self.folder / "tree" / "scripts" / "run.sh")], env=self.environment(stub),
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=WAIT_SECONDS)
        return result.returncode, result.stdout.splitlines()

    def stop_script(self, stage, signal_number, whole_group):
        """run.sh run until the stage is under way, then sent the signal (to its process group, as
        Ctrl-C sends it, or to the script alone): its status and output's lines, or None where it
        went on for WAIT_SECONDS; the stage's process group, and its processes still running once
        run.sh ended."""
        pids = self.folder / "stage.pids"
        ready = pathlib.Path(f"{pids}.ready")
        for said in (pids, ready):
            said.unlink(missing_ok=True)
        script = start(["bash", str(self.folder / "tree" / "scripts" / "run.sh")],
                       self.environment({"hang": stage, "pids": str(pids)}), stderr=subprocess.STDOUT)
        try:
            # The stage says when it is under way; a script that ends before is a failure of its own.
            self.assertTrue(reached(ready, script), f"stage {stage} never started")
            stage_group = group_of(pids.read_text().split()[0])
            out = stop(script, signal_number, whole_group)
            if out is None:
                return None
            noted = pids.read_text().split()
            running = [pid for pid in noted if runs(pid)]
            # What run.sh left running ends before the log is read, its last line in it.
            deadline = time.monotonic() + WAIT_SECONDS
            while any(runs(pid) for pid in noted) and time.monotonic() < deadline:
                time.sleep(0.05)
            return script.returncode, out.splitlines(), stage_group, running
        finally:
            end(script)
            kill_noted(pids.read_text().split() if pids.exists() else [])

    def stage_lines(self, lines):
        return [line for line in lines if line.startswith("== stage ")]

    def test_the_terminal_gets_the_stages_and_the_verdict(self):
        status, lines = self.run_script()
        self.assertEqual(0, status, lines)
        self.assertEqual(f"Main job: output in {self.out}", lines[0])
        self.assertEqual(f"Main job passed; the whole output is in {self.log}", lines[-1])
        stages = ["build", "SDK round trip", "plug-in road", "comparison"]
        self.assertEqual(8, len(lines) - 2, lines)
        for number, name in enumerate(stages, 1):
            self.assertEqual(f"== stage {number}/4, {name} ...", lines[2 * number - 1])
            self.assertRegex(lines[2 * number], rf"^== stage {number}/4, {name}: done in \d+\.\d\d s$")
        # The rest is the log's, in order, with the same lines.
        log = self.log.read_text().splitlines()
        self.assertEqual(lines, [line for line in log if line.startswith(("== stage ", "Main job"))])
        self.assertEqual(7, sum(line == "// Result: 1" for line in log))
        self.assertEqual(30, sum("expected    files" in line for line in log))
        self.assertIn("-- configuring line 40", log)
        self.assertIn("Comparison passed: 30 difference(s), 0 unexpected, 0 from known faults, 0 stale entries", log)
        self.assertLess(log.index("Comparison passed: 30 difference(s), 0 unexpected, 0 from known faults, "
                                  "0 stale entries"), log.index(lines[-2]))

    def test_a_failing_stage_shows_its_last_lines(self):
        status, lines = self.run_script(fail="zeqcompare")
        self.assertEqual(1, status, lines)
        self.assertRegex(lines[-18], r"^== stage 4/4, comparison: FAILED after \d+\.\d\d s$")
        self.assertEqual("its last lines:", lines[-17])
        self.assertEqual("  Comparison failed: 31 difference(s), 1 unexpected", lines[-2])
        self.assertEqual("    UNEXPECTED  files Model Model::arm different", lines[-3])
        self.assertEqual(f"run: the main job stopped at stage \"comparison\"; the whole output is in {self.log}",
                         lines[-1])
        self.assertEqual(8, len(self.stage_lines(lines)), lines)
        log = self.log.read_text().splitlines()
        self.assertEqual([lines[-18], lines[-1]], log[-2:])

    def test_the_plugin_road_says_when_the_host_failed_before_any_step(self):
        status, lines = self.run_script(fail="tulo-standin")
        self.assertEqual(1, status, lines)
        log = self.log.read_text()
        self.assertIn("run: the host program failed (exit status 1) before any step ran", log)
        self.assertNotIn("after the steps had run", log)
        self.assertIn("  tulo-standin: no plug-in zeqtulo on the path", log)
        self.assertIn("is not loaded: other users may write it", log)

    def test_the_plugin_roads_folders_are_0755_whatever_the_umask(self):
        previous = os.umask(0o002)
        try:
            status, lines = self.run_script()
        finally:
            os.umask(previous)
        self.assertEqual(0, status, lines)
        for folder in (self.out, self.out / "plugin"):
            self.assertEqual(0o755, stat.S_IMODE(folder.stat().st_mode), folder)
        # The host judges the folders of the file it loads: a copy in the road's own, not a link into
        # the build's, which the umask left group-writable.
        plugin = self.out / "plugin" / "libzeqtulo.so"
        self.assertFalse(plugin.is_symlink(), plugin)
        self.assertEqual(0o755, stat.S_IMODE(plugin.lstat().st_mode), plugin)

    def test_a_folder_its_group_may_write_keeps_its_mode(self):
        # The job once closed it to its group, whoever's it was.
        self.out.mkdir()
        self.out.chmod(0o775)
        status, lines = self.run_script()
        self.assertEqual(0o775, stat.S_IMODE(self.out.stat().st_mode))
        if group_is_mine_alone(self.out.stat().st_gid):
            self.assertEqual(0, status, lines)
            self.assertEqual(f"Main job: output in {self.out}", lines[0])
        else:
            group = grp.getgrgid(self.out.stat().st_gid).gr_name
            self.assertEqual(1, status, lines)
            self.assertEqual([f'run: the output folder "{self.out}" is not used: its group ({group}) may write it, '
                              'a group that may hold other users, and it is not sticky: they may rename what the '
                              'job puts in it, and the host loads no plug-in from there; take its group\'s write '
                              f'away (chmod g-w "{self.out}") or name another folder in ZEQ_RUN_OUTPUT_DIR.'], lines)
            self.assertEqual([], list(self.out.iterdir()))

    def test_the_plugin_road_alone_judges_its_folder_alike(self):
        self.out.mkdir()
        self.out.chmod(0o777)
        env = self.environment({})
        road = subprocess.run(["bash", str(self.folder / "tree" / "scripts" / "plugin-road.sh"),
                               str(self.folder / "build"), str(self.out)], env=env, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, text=True, timeout=WAIT_SECONDS)
        self.assertEqual(1, road.returncode, road.stdout)
        self.assertEqual(f'plugin-road.sh: the output folder "{self.out}" is not used: others may write it and it is '
                         'not sticky: they may rename what the job puts in it, and the host loads no plug-in from '
                         f'there; take their write away (chmod o-w "{self.out}") or name another folder.\n',
                         road.stdout)
        self.assertEqual(0o777, stat.S_IMODE(self.out.stat().st_mode))
        self.assertEqual([], list(self.out.iterdir()))

    def test_a_path_holding_a_line_break_is_refused_and_nothing_is_touched(self):
        # Cut at the line break, the job once worked in "data", its plugin/ replaced.
        data = self.folder / "data"
        (data / "plugin").mkdir(parents=True)
        (data / "plugin" / "libzeqtulo.so").write_text("the user's own")
        (data / "main-job.log").write_text("an earlier run's")
        via = self.folder / "via"
        # A command substitution would drop the line break that ends the link's text.
        via.symlink_to(f"{data}\n")
        for out, why in [(self.folder / "data\nresults", "its path holds a line break"),
                         (via, f'the link "{via}" leads to a path that holds a line break')]:
            with self.subTest(out=str(out)):
                self.out = out
                status, lines = self.run_script()
                self.assertEqual(1, status, lines)
                self.assertEqual(f'run: the output folder "{out}" is not used: {why}; name a folder whose path '
                                 'holds none in ZEQ_RUN_OUTPUT_DIR.', "\n".join(lines))
                self.assertEqual(["data", "via"], sorted(p.name for p in self.folder.iterdir()
                                                        if p.name.startswith(("data", "via"))))
                self.assertEqual("the user's own", (data / "plugin" / "libzeqtulo.so").read_text())
                self.assertEqual("an earlier run's", (data / "main-job.log").read_text())
                self.assertEqual(["main-job.log", "plugin"], sorted(p.name for p in data.iterdir()))

    def test_a_signal_at_any_stage_stops_its_whole_group(self):
        # SIGTERM or SIGHUP to the script alone ended it at once, its stage going on (the build's
        # Ninja, reparented, wrote into the log after it); Ctrl-C ended it without a word.
        for number, stage, signal_number, whole_group in [
                (1, "build", signal.SIGTERM, False),
                (2, "SDK round trip", signal.SIGHUP, False),
                (3, "plug-in road", signal.SIGINT, True)]:
            with self.subTest(stage=stage, signal=signal_number.name, whole_group=whole_group):
                stopped = self.stop_script(stage, signal_number, whole_group)
                self.assertIsNotNone(stopped, f"run.sh went on for {WAIT_SECONDS} s after the signal")
                status, lines, stage_group, running = stopped
                # Nothing of the stage runs once the script ended, so nothing writes into the log
                # after its closing lines, which end it.
                self.assertEqual([], running)
                self.assertFalse(group_runs(stage_group), f"the stage's group {stage_group} runs on")
                self.assertEqual(1, status, lines)
                self.assertRegex(lines[-2], rf"^== stage {number}/4, {stage}: stopped after \d+\.\d\d s$")
                self.assertEqual(f"Main job stopped before the end; the whole output is in {self.log}", lines[-1])
                self.assertEqual(1, sum(line.startswith("Main job stopped") for line in lines), lines)
                self.assertFalse(any(line.startswith(f"== stage {number + 1}/4") for line in lines), lines)
                # The stage's last line comes before the job's: it waited until the stage ended.
                log = self.log.read_text().splitlines()
                self.assertIn(f"{stage}: still writing", log)
                self.assertIn(f"{stage}: stopped", log)
                self.assertEqual(lines[-2:], log[-2:])


# The user a test running as root runs the job as, and a user number no one of the system bears.
NOBODY = 65534


def free_uid():
    taken = {user.pw_uid for user in pwd.getpwall()}
    return next(uid for uid in range(4242, 60000) if uid not in taken)


def others_can_pass(path):
    """Whether every folder from the root down to path lets others pass."""
    path = pathlib.Path(path).resolve()
    return all(folder.stat().st_mode & stat.S_IXOTH for folder in [path, *path.parents])


def set_access_list(path, entries, kind="access"):
    """An access list on the file or folder, written as the system stores it: (tag, permissions, id)
    entries, the tags 0x01 its owner, 0x02 a user, 0x04 its group, 0x10 the mask, 0x20 others; False
    where the file system keeps none."""
    value = struct.pack("<I", 2) + b"".join(struct.pack("<HHI", *entry) for entry in entries)
    try:
        os.setxattr(path, f"system.posix_acl_{kind}", value)
    except OSError:
        return False
    return True


def let_only_nobody_pass(folder):
    """An access list on the folder (root's, 0700) that lets nobody pass it and no one else."""
    return set_access_list(folder, [(0x01, 7, 0xFFFFFFFF), (0x02, 1, NOBODY), (0x04, 0, 0xFFFFFFFF),
                                    (0x10, 1, 0xFFFFFFFF), (0x20, 0, 0xFFFFFFFF)])


def lay_out_job(folder):
    """The scripts and the stand-ins of the job in folder, every folder 0755, every file 0755."""
    scripts = folder / "tree" / "scripts"
    scripts.mkdir(parents=True, mode=0o755)
    for name in ("run.sh", "steps.sh", "deps.sh", "plugin-road.sh"):
        shutil.copy(SCRIPTS / name, scripts / name)
    for rel, text in STUBS.items():
        path = folder / rel
        path.parent.mkdir(parents=True, exist_ok=True)
        path.parent.chmod(0o755)
        path.write_text(text)
        path.chmod(0o755)


def run_job(folder, out, runner, **stub):
    """run.sh of the job laid out in folder, writing in out, as runner (root runs it as nobody): its
    status and output's lines."""
    env = {k: v for k, v in os.environ.items() if not k.startswith(("ZEQ_", "STUB_"))}
    env.update({"PATH": f"{folder / 'bin'}:{env.get('PATH', '/usr/bin:/bin')}",
                "ZEQ_RUN_BUILD_DIR": str(folder / "build"), "ZEQ_RUN_OUTPUT_DIR": str(out),
                "STUB_BIN": str(folder / "bin")})
    env.update({f"STUB_{k.upper()}": v for k, v in stub.items()})
    as_runner = as_nobody if runner == NOBODY and os.geteuid() == 0 else None
    result = subprocess.run(["bash", str(folder / "tree" / "scripts" / "run.sh")], env=env, cwd=folder,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=WAIT_SECONDS,
                            preexec_fn=as_runner)
    return result.returncode, result.stdout.splitlines()


def as_nobody():
    os.setgroups([])
    os.setgid(NOBODY)
    os.setuid(NOBODY)


class OutputFolders(unittest.TestCase):
    """The main job given a folder of its user's, of root's or of another user's, as root and as
    another user: the folder keeps its mode and owner, and the job runs in it (in a folder of its
    own made there where others may write it and it is sticky) or is refused before it starts with
    the reason, leaving nothing in it."""

    def setUp(self):
        if os.geteuid() != 0:
            self.skipTest("needs root, to make folders of other users and run the job as one")
        parent = next((p for p in (scratch_root(), tempfile.gettempdir()) if p and others_can_pass(p)), None)
        if parent is None:
            self.skipTest("no temporary folder the user nobody may reach")
        self.folder = pathlib.Path(tempfile.mkdtemp(prefix="run-folders-", dir=parent))
        FOLDERS.add(self.folder)
        if not let_only_nobody_pass(self.folder):
            self.skipTest("the file system keeps no access lists: the user nobody cannot reach the test's folder")
        lay_out_job(self.folder)

    def tearDown(self):
        shutil.rmtree(self.folder)
        FOLDERS.discard(self.folder)

    def test_each_folder_keeps_its_mode_and_is_used_or_refused(self):
        other = free_uid()
        nogroup = pwd.getpwuid(NOBODY).pw_gid
        refused_theirs = "it is {}'s, neither yours nor root's: its owner may rename what the job puts in it"
        refused_group = ("its group ({}) may write it, a group that may hold other users, and it is not sticky: "
                         "they may rename what the job puts in it")
        fresh, as_it_is = "fresh", "as it is"
        nobody, root_group = pwd.getpwuid(NOBODY).pw_name, grp.getgrgid(0).gr_name
        # runner, the folder's owner, group and mode, the outcome.
        cases = [
            (0, NOBODY, nogroup, 0o1777, refused_theirs.format(nobody)),
            (0, NOBODY, nogroup, 0o775, refused_theirs.format(nobody)),
            (0, NOBODY, nogroup, 0o755, refused_theirs.format(nobody)),
            (0, 0, 0, 0o1777, fresh),
            (0, 0, 0, 0o775, refused_group.format(root_group)),
            (0, 0, 0, 0o755, as_it_is),
            (NOBODY, 0, 0, 0o1777, fresh),
            (NOBODY, 0, 0, 0o775, refused_group.format(root_group)),
            (NOBODY, 0, 0, 0o755, "you may not write in it"),
            (NOBODY, other, other, 0o1777, refused_theirs.format(f"user {other}")),
            (NOBODY, other, other, 0o775, refused_theirs.format(f"user {other}")),
            (NOBODY, other, other, 0o755, refused_theirs.format(f"user {other}")),
            (NOBODY, NOBODY, nogroup, 0o1777, fresh),
            (NOBODY, NOBODY, nogroup, 0o775, refused_group.format(grp.getgrgid(nogroup).gr_name)),
            (NOBODY, NOBODY, nogroup, 0o755, as_it_is),
        ]
        for number, (runner, owner, group, mode, outcome) in enumerate(cases):
            with self.subTest(runner=runner, owner=owner, mode=oct(mode)):
                out = self.folder / f"out-{number}"
                out.mkdir()
                os.chown(out, owner, group)
                out.chmod(mode)
                status, lines = run_job(self.folder, out, runner)
                after = out.stat()
                self.assertEqual((owner, group, mode), (after.st_uid, after.st_gid, stat.S_IMODE(after.st_mode)))
                if outcome not in (fresh, as_it_is):
                    self.assertEqual(1, status, lines)
                    self.assertEqual(1, len(lines), lines)
                    self.assertTrue(lines[0].startswith(f'run: the output folder "{out}" is not used: {outcome}'),
                                    lines)
                    self.assertEqual([], list(out.iterdir()))
                    continue
                self.assertEqual(0, status, lines)
                if outcome == as_it_is:
                    self.assertEqual(f"Main job: output in {out}", lines[0])
                    job = out
                else:
                    [job] = list(out.iterdir())
                    self.assertRegex(job.name, r"^zeq-main-job\.\w{6}$")
                    self.assertEqual(f'Main job: output in {job}, a folder of its own in "{out}", which others may '
                                     'write', lines[0])
                    self.assertEqual((runner, 0o700), (job.stat().st_uid, stat.S_IMODE(job.stat().st_mode)))
                self.assertEqual(f"Main job passed; the whole output is in {job / 'main-job.log'}", lines[-1])
                self.assertEqual(runner, (job / "main-job.log").stat().st_uid)

    def test_another_users_link_in_a_folder_others_may_write_is_not_followed(self):
        other = free_uid()
        shared = self.folder / "shared"
        shared.mkdir()
        shared.chmod(0o1777)
        # A link the runner made, or the folder's owner, is followed; another user's leads wherever
        # they like.
        for linker, refused in [(other, True), (NOBODY, False), (0, False)]:
            with self.subTest(linker=linker):
                target = self.folder / f"target-{linker}"
                target.mkdir()
                os.chown(target, NOBODY, -1)
                link = shared / f"by-{linker}"
                link.symlink_to(target)
                os.lchown(link, linker, -1)
                status, lines = run_job(self.folder, link, NOBODY)
                if refused:
                    self.assertEqual(1, status, lines)
                    self.assertEqual([f'run: the output folder "{link}" is not used: the link "{link}" is user '
                                      f"{other}'s, in a folder others may write; name the folder it leads to, if "
                                      "you trust it, or another in ZEQ_RUN_OUTPUT_DIR."], lines)
                    self.assertEqual([], list(target.iterdir()))
                else:
                    self.assertEqual(0, status, lines)
                    self.assertEqual(f"Main job: output in {target}", lines[0])


class FolderGroups(unittest.TestCase):
    """A folder its group may write, judged as the host judges it: used as it is only where the
    listings show the group as its owner's private group alone (named as the owner, the owner's
    primary group, no other user's, listing no one else), and never under an access list, which may
    give the write to anyone. The listings are the test's own (a stand-in getent); the job runs as
    nobody under root, else as the user running the tests."""

    def setUp(self):
        if os.geteuid() == 0:
            parent = next((p for p in (scratch_root(), tempfile.gettempdir()) if p and others_can_pass(p)), None)
            if parent is None:
                self.skipTest("no temporary folder the user nobody may reach")
            self.runner = NOBODY
        else:
            parent, self.runner = scratch_root(), os.getuid()
        self.folder = pathlib.Path(tempfile.mkdtemp(prefix="run-groups-", dir=parent))
        FOLDERS.add(self.folder)
        if self.runner == NOBODY and not let_only_nobody_pass(self.folder):
            self.skipTest("the file system keeps no access lists: the user nobody cannot reach the test's folder")
        lay_out_job(self.folder)
        me = pwd.getpwuid(self.runner)
        self.name, self.gid, self.other = me.pw_name, me.pw_gid, free_uid()

    def tearDown(self):
        shutil.rmtree(self.folder)
        FOLDERS.discard(self.folder)

    def listings(self, number, passwd, group):
        """The test's user and group listings: root, the runner and another user, each with a group
        of their own named as they are, less what the case changes."""
        users = {"root": (0, 0), self.name: (self.runner, self.gid), "other": (self.other, self.other)}
        users.update(passwd)
        groups = {"root": (0, ""), self.name: (self.gid, ""), "other": (self.other, "")}
        groups.update(group)
        files = self.folder / f"passwd-{number}", self.folder / f"group-{number}"
        files[0].write_text("".join(f"{n}:x:{u}:{g}::/:/bin/sh\n" for n, (u, g) in users.items()))
        files[1].write_text("".join(f"{n}:x:{g}:{m}\n" for n, (g, m) in groups.items()))
        for file in files:
            file.chmod(0o644)
        return {"passwd": str(files[0]), "group": str(files[1])}

    def test_a_group_counts_as_its_owners_alone_only_where_every_listing_says_so(self):
        refused = ("its group ({}) may write it, a group that may hold other users, and it is not sticky: they "
                   "may rename what the job puts in it")
        me, gid = self.name, self.gid
        # What the listings change, the folder's owner, the outcome.
        cases = [
            ("alone", {}, {}, self.runner, None),
            ("a member listed besides the owner", {}, {me: (gid, f"{me},other")}, self.runner, refused.format(me)),
            ("another user's primary group", {"other": (self.other, gid)}, {}, self.runner, refused.format(me)),
            ("not named as the owner", {}, {me: (self.other + 1, ""), "staff": (gid, "")}, self.runner,
             refused.format("staff")),
            ("not the owner's primary group", {me: (self.runner, self.other)}, {}, self.runner, refused.format(me)),
        ]
        if os.geteuid() == 0:
            # Root has no group alone, whosever group it is.
            cases.append(("a folder of root's in the runner's group", {}, {}, 0, refused.format(me)))
        for number, (case, passwd, group, owner, outcome) in enumerate(cases):
            with self.subTest(case=case):
                out = self.folder / f"out-{number}"
                out.mkdir()
                os.chown(out, owner, gid)
                out.chmod(0o775)
                status, lines = run_job(self.folder, out, self.runner, **self.listings(number, passwd, group))
                self.assertEqual((owner, gid, 0o775), (out.stat().st_uid, out.stat().st_gid,
                                                      stat.S_IMODE(out.stat().st_mode)))
                if outcome is None:
                    self.assertEqual(0, status, lines)
                    self.assertEqual(f"Main job: output in {out}", lines[0])
                    continue
                self.assertEqual(1, status, lines)
                self.assertEqual([f'run: the output folder "{out}" is not used: {outcome}, and the host loads no '
                                  f'plug-in from there; take its group\'s write away (chmod g-w "{out}") or name '
                                  'another folder in ZEQ_RUN_OUTPUT_DIR.'], lines)
                self.assertEqual([], list(out.iterdir()))

    def test_an_access_list_is_refused_before_anything_runs(self):
        me, gid = self.name, self.gid
        # Another user planted the job's log as a link to a file of the runner's elsewhere.
        victim = self.folder / "victim.txt"
        victim.write_text("the runner's own")
        os.chown(victim, self.runner, gid)
        # The group alone, or not: the reason is the access list either way (its mask is the group bits).
        for number, group in enumerate([{}, {me: (self.other + 1, ""), "staff": (gid, "")}]):
            with self.subTest(group_named_as_owner=not group):
                out = self.folder / f"listed-{number}"
                out.mkdir()
                os.chown(out, self.runner, gid)
                out.chmod(0o775)
                if not set_access_list(out, [(0x01, 7, 0xFFFFFFFF), (0x02, 7, self.other), (0x04, 5, 0xFFFFFFFF),
                                             (0x10, 7, 0xFFFFFFFF), (0x20, 5, 0xFFFFFFFF)]):
                    self.skipTest("the file system keeps no access lists")
                planted = out / "main-job.log"
                planted.symlink_to(victim)
                if os.geteuid() == 0:
                    os.lchown(planted, self.other, self.other)
                status, lines = run_job(self.folder, out, self.runner, **self.listings(number, {}, group))
                self.assertEqual(1, status, lines)
                self.assertEqual([f'run: the output folder "{out}" is not used: its access list may let other users '
                                  'write it, and it is not sticky: they may rename what the job puts in it, and the '
                                  f'host loads no plug-in from there; take their write away (chmod g-w "{out}", '
                                  'which bounds every entry of the list) or name another folder in '
                                  'ZEQ_RUN_OUTPUT_DIR.'], lines)
                self.assertEqual("the runner's own", victim.read_text())
                self.assertEqual(["main-job.log"], [p.name for p in out.iterdir()])

        # A default list alone gives no one access: the folder is used as it is, as the host uses it.
        out = self.folder / "defaults"
        out.mkdir()
        os.chown(out, self.runner, gid)
        out.chmod(0o775)
        self.assertTrue(set_access_list(out, [(0x01, 7, 0xFFFFFFFF), (0x02, 7, self.other), (0x04, 5, 0xFFFFFFFF),
                                              (0x10, 7, 0xFFFFFFFF), (0x20, 5, 0xFFFFFFFF)], kind="default"))
        status, lines = run_job(self.folder, out, self.runner, **self.listings(9, {}, {}))
        self.assertEqual(0, status, lines)
        self.assertEqual(f"Main job: output in {out}", lines[0])


if __name__ == "__main__":
    end_with_a_stop()
    unittest.main()
