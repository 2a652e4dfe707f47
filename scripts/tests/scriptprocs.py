"""The scripts the script tests run (test.sh, run.sh), each in a process group of its own: whether
they and their steps run, and their ending with the test however it ends. Stopped (SIGTERM,
SIGINT, SIGHUP), a test stops the scripts it runs and removes its folders; killed outright, the
scripts it started are told by the system (PR_SET_PDEATHSIG) and stop their steps themselves."""
import ctypes
import os
import pathlib
import shutil
import signal
import subprocess
import time

from scratch import WAIT_SECONDS

# How long a script this test stops as it cleans up may take to end before SIGKILL: the checks wait
# WAIT_SECONDS for a script to end (in about a second: its step ends half a second after SIGTERM),
# this only tidies, and a stopped test ends soon.
CLEANUP_SECONDS = 10
# The scripts' process groups (the script's own; a terminal's session) while they run.
RUNNING = set()
# The tests' folders while they are there.
FOLDERS = set()
PR_SET_PDEATHSIG = 1


def end_with_this_test():
    """In a child about to run a script: SIGTERM when this test's process ends, however it ends,
    so that the script stops its step (in a process group of its own) and exits."""
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(PR_SET_PDEATHSIG, signal.SIGTERM, 0, 0, 0)
    # The parent may have ended before the request was made.
    if os.getppid() == 1:
        os._exit(1)


def _fields(pid):
    """The fields of a process's stat after its command: state, parent, process group..."""
    return pathlib.Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()


def runs(pid):
    """Whether the process runs (a zombie has ended)."""
    try:
        return _fields(pid)[0] != "Z"
    except (OSError, IndexError):
        return False


def group_of(pid):
    """The process group of a running process, None when it does not run."""
    try:
        return int(_fields(pid)[2])
    except (OSError, IndexError, ValueError):
        return None


def group_runs(group):
    """Whether a process of the group runs."""
    for stat_file in pathlib.Path("/proc").glob("[0-9]*/stat"):
        try:
            fields = stat_file.read_text().rsplit(")", 1)[1].split()
        except (OSError, IndexError):
            continue
        if fields[2] == str(group) and fields[0] != "Z":
            return True
    return False


def stop_groups(groups):
    """SIGTERM to each group (the script stops its step and exits), SIGKILL to what still runs
    after CLEANUP_SECONDS."""
    for group in groups:
        try:
            os.killpg(group, signal.SIGTERM)
        except OSError:
            pass
    deadline = time.monotonic() + CLEANUP_SECONDS
    for group in groups:
        while time.monotonic() < deadline and group_runs(group):
            time.sleep(0.05)
        try:
            os.killpg(group, signal.SIGKILL)
        except OSError:
            pass


def start(command, env, stderr=subprocess.PIPE):
    """The script started in a process group of its own, its output read by the test (text), with
    Ctrl-C's default action whatever this test inherited, and ended with this test."""
    def child():
        signal.signal(signal.SIGINT, signal.SIG_DFL)
        end_with_this_test()

    script = subprocess.Popen(command, env=env, stdout=subprocess.PIPE, stderr=stderr, text=True, process_group=0,
                              preexec_fn=child)
    RUNNING.add(script.pid)
    return script


def reached(said, script):
    """Whether a stand-in of the running script made the file said (at a point of its own) within
    WAIT_SECONDS; False at once where the script ended before."""
    deadline = time.monotonic() + WAIT_SECONDS
    while not said.exists() and script.poll() is None and time.monotonic() < deadline:
        time.sleep(0.01)
    return said.exists()


def stop(script, signal_number, whole_group):
    """The script sent the signal (to its process group, as Ctrl-C sends it, or to it alone): its
    standard output once it ended, or None where it went on for WAIT_SECONDS or left its output
    open to what it started."""
    if whole_group:
        os.killpg(script.pid, signal_number)
    else:
        script.send_signal(signal_number)
    try:
        return script.communicate(timeout=WAIT_SECONDS)[0]
    except subprocess.TimeoutExpired:
        return None


def end(script):
    """Nothing of the script's group runs on."""
    if script.poll() is None or group_runs(script.pid):
        stop_groups([script.pid])
    script.wait()
    RUNNING.discard(script.pid)


def kill_noted(pids):
    """SIGKILL to each of the processes a step noted that still runs (a step a script left running
    in a process group of its own)."""
    for pid in pids:
        if runs(pid):
            try:
                os.kill(int(pid), signal.SIGKILL)
            except OSError:
                pass


def _stopped(number, _frame):
    """A stopped test ends what it started and removes its folders, then dies by the signal."""
    signal.signal(number, signal.SIG_IGN)
    stop_groups(list(RUNNING))
    for folder in list(FOLDERS):
        shutil.rmtree(folder, ignore_errors=True)
    signal.signal(number, signal.SIG_DFL)
    os.kill(os.getpid(), number)


def end_with_a_stop():
    """In the test's main: a signal that stops the test stops what it started first."""
    for caught in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(caught, _stopped)
