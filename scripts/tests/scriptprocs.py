"""The scripts the script tests run (test.sh, run.sh), each in a process group of its own: whether
they and their steps run, and their ending with the test however it ends. Stopped (SIGTERM,
SIGINT, SIGHUP), a test stops the scripts it runs and removes its folders; killed outright, the
scripts it started are told by the system (PR_SET_PDEATHSIG) and stop their steps themselves."""
import ctypes
import os
import pathlib
import shutil
import signal
import time

# How long a stopped script may take to end (it ends in about a second: its step ends half a
# second after SIGTERM).
STOP_SECONDS = 10
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
    after STOP_SECONDS."""
    for group in groups:
        try:
            os.killpg(group, signal.SIGTERM)
        except OSError:
            pass
    deadline = time.monotonic() + STOP_SECONDS
    for group in groups:
        while time.monotonic() < deadline and group_runs(group):
            time.sleep(0.05)
        try:
            os.killpg(group, signal.SIGKILL)
        except OSError:
            pass


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
