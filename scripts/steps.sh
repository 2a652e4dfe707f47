#!/usr/bin/env bash
# Steps that stop with their script. Sourced by test.sh and run.sh: each step (a configure, a build,
# a stage of the main job) runs in a process group of its own, and Ctrl-C, SIGTERM or SIGHUP to the
# script, or to its group, stops the running step's whole group and waits until none of it runs, so
# that nothing of it goes on, writes or prints after the script ended.
#   zeq_run_step COMMAND...   runs the command as a step; its status
#   zeq_close_with FUNCTION   FUNCTION closes the script however it ends (its exit trap), and is
#                             run once at the first signal, which ignores the ones after it
#   zeq_closing               what FUNCTION does first: ignores later signals, stops the step

# The process group of the step running now, "" between steps.
zeq_step=""
# While a step is being started: the last background process before it. A signal taken between
# the start and the noting of its group finds the step by $! instead.
zeq_step_starting=""
zeq_step_before=""

# zeq_group_runs <pgid>: whether a process of the group still runs (a zombie has ended).
zeq_group_runs() {
    local stat line fields
    for stat in /proc/[0-9]*/stat; do
        read -r line 2>/dev/null <"$stat" || continue
        # After the command's closing parenthesis: state, parent, process group.
        read -r -a fields <<<"${line##*) }"
        [ "${fields[2]:-}" = "$1" ] && [ "${fields[0]}" != Z ] && return 0
    done
    return 1
}

# zeq_stop_step: ends the running step's whole process group and waits until none of it runs, so
# that nothing of the run goes on or prints after the closing lines. What ignores SIGTERM for
# ten seconds gets SIGKILL.
zeq_stop_step() {
    # Closing the terminal during the build found the step started but not yet noted: it went on,
    # its parent gone, compiling on.
    [ -n "$zeq_step" ] || [ -z "$zeq_step_starting" ] || [ "${!:-}" = "$zeq_step_before" ] || zeq_step=$!
    [ -n "$zeq_step" ] || return 0
    local group=$zeq_step tenths=0
    zeq_step=""
    kill -TERM -- "-$group" 2>/dev/null || true
    # A stopped process takes SIGTERM only once it goes on.
    kill -CONT -- "-$group" 2>/dev/null || true
    while zeq_group_runs "$group" && [ $tenths -lt 150 ]; do
        [ $tenths -ne 100 ] || kill -KILL -- "-$group" 2>/dev/null || true
        sleep 0.1
        tenths=$((tenths + 1))
    done
    wait "$group" 2>/dev/null || true
}

# zeq_run_step <command...>: runs the command (a function of the script too) as a step of its own
# process group. Tools that catch Ctrl-C (CMake, Ninja) exit with a status as if they had failed,
# which would let the script go on to its next step: here the signal reaches the script alone, whose
# trap stops the step and the script. The shell's wait returns at once on a trapped signal, so
# SIGTERM to the script alone is not held up until the step ends either. Out of the terminal's
# foreground, the step would be stopped at its first line where the terminal stops background
# writers (stty tostop): it writes all the same.
zeq_run_step() {
    set -m
    zeq_step_before=${!:-}
    zeq_step_starting=1
    (
        trap '' TTOU
        "$@"
    ) </dev/null &
    zeq_step=$!
    zeq_step_starting=""
    set +m
    local status=0
    wait "$zeq_step" || status=$?
    zeq_step=""
    return $status
}

# zeq_closing: the first thing the closing function does. Nothing cuts the closing short: a signal
# from here on is ignored (one taken before closes the script itself, see zeq_close_with).
zeq_closing() {
    trap '' INT TERM HUP
    zeq_stop_step
}

# zeq_close_with <function>: the function closes the script, whether it ends by itself (exit) or by
# a signal, which stops it at once: nothing more of it starts. A closed terminal sends SIGHUP more
# than once, and Ctrl-C may follow SIGTERM: the first signal taken ignores the rest before anything
# else. It closes the script itself rather than by exit: an exit run within the exit trap (a signal
# taken as the script ends, before the function ignores them) would end the shell there, its step
# running on and no closing lines said.
zeq_close_with() {
    trap "$1" EXIT
    # Bash's own handling of a terminating signal without a trap may end the shell without its exit
    # trap when the signal comes while it is still starting the command that sent it.
    trap "trap '' INT TERM HUP; trap - EXIT; $1" INT TERM HUP
}
