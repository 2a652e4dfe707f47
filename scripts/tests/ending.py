"""What a test starts ends with it, however the test is stopped.

A program started here stays in the test's own process group, so that a stop of that group (Ctrl-C
at a terminal, test.sh stopping its step, CTest's) reaches it and everything it started; it gets
SIGKILL when the test's process dies (PR_SET_PDEATHSIG), and the test, stopped by SIGINT, SIGTERM or
SIGHUP alone, first ends every process below it (it takes in what a program leaves behind as its
own: a child subreaper), then dies by the signal.
"""
import ctypes
import os
import pathlib
import signal
import subprocess

PR_SET_PDEATHSIG = 1
PR_SET_CHILD_SUBREAPER = 36
# The programs started and not yet ended.
STARTED = set()


def _dies_with_the_test():
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGKILL, 0, 0, 0)
    # The test may have died before the request was made.
    if os.getppid() == 1:
        os._exit(1)


def _below(pids):
    """pids and every process below them."""
    children = {}
    for stat in pathlib.Path("/proc").glob("[0-9]*/stat"):
        try:
            parent = int(stat.read_text().rsplit(")", 1)[1].split()[1])
        except (OSError, IndexError, ValueError):
            continue
        children.setdefault(parent, []).append(int(stat.parent.name))
    found, todo = set(), list(pids)
    while todo:
        pid = todo.pop()
        if pid not in found:
            found.add(pid)
            todo += children.get(pid, [])
    return found


def _kill_below(pid):
    """SIGKILL to every process below pid, and to pid unless it is this one; each is held first, so
    that none starts another, or leaves one behind, meanwhile."""
    held = set()
    while True:
        more = _below([pid]) - held - {os.getpid()}
        if not more:
            break
        for pid in more:
            try:
                os.kill(pid, signal.SIGSTOP)
            except OSError:
                pass
        held |= more
    for held_pid in held:
        try:
            os.kill(held_pid, signal.SIGKILL)
        except OSError:
            pass


def end(process):
    """SIGKILL to the process and every process below it, then its status collected."""
    _kill_below(process.pid)
    process.wait()
    STARTED.discard(process)


def start(command, preexec_fn=None, **options):
    """subprocess.Popen(command, **options), ended with this test (preexec_fn, when given, runs in
    the child after the request that it die with the test)."""
    def prepare():
        _dies_with_the_test()
        if preexec_fn:
            preexec_fn()
    process = subprocess.Popen(command, preexec_fn=prepare, **options)
    STARTED.add(process)
    return process


def finish(process, seconds):
    """The process's exit status; it and what it started are ended when it runs past seconds."""
    try:
        status = process.wait(timeout=seconds)
        STARTED.discard(process)
        return status
    except subprocess.TimeoutExpired:
        end(process)
        return "no end within %d s" % seconds


def _stopped(number, _frame):
    signal.signal(number, signal.SIG_IGN)
    _kill_below(os.getpid())
    for process in list(STARTED):
        end(process)
    signal.signal(number, signal.SIG_DFL)
    os.kill(os.getpid(), number)


ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)
for _number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
    signal.signal(_number, _stopped)
