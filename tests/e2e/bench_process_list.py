"""Benchmark of the process list under Wine with many processes, in one run (not a test; prints
figures):

    PALISOR_WIN32_BUILD=build/<you>-win32 python3 tests/e2e/bench_process_list.py [PROCESSES] [ROUNDS]

Starts PROCESSES (default 300) waiting copies of the sleeper tool, then:
- processlistbench: where one refresh's time goes (snapshot, paths read cold and known, the list
  view) and the ratio of a refresh with no path known to a later one;
- Palisor.exe: the round trip of the "Show process list" command sent from another process (the
  time the window is busy with one refresh), the first one (no path known) and ROUNDS later ones,
  beside the round trip of an empty message; then the longest wait of messages sent to the main
  window one after the other while the refresh command runs back to back, which is what an event
  record arriving during a refresh the user asked for waits at most;
- Palisor.exe with the firewall started and Timer4 set to 100 ms: the waits of messages while
  the list refreshes by itself (taken on the window's worker thread).
The same Palisor.exe figures are printed first without the extra processes. The copies are
ended afterwards (they also end by themselves after ten minutes)."""
import subprocess
import sys
import tempfile
import time

from harness import WINE, DEFAULT_SETTINGS, TOOLS, Palisor, ProgramDir, session, start_tool, tool

SLEEPER = "sleeper.exe"


def count_sleepers():
    return len(tool("wintool", "pids", SLEEPER).stdout.split())


def spawn_sleepers(count, attempts=3):
    """Starts `count` sleepers; returns how many run. A busy Wine now and then refuses one
    CreateProcess: the rest are started by the next attempt, and the last refusal is reported."""
    started = 0
    for _ in range(attempts):
        # The copies keep the caller's output open under Wine: their ids go to a file, not a pipe.
        with tempfile.TemporaryFile("w+") as ids, tempfile.TemporaryFile("w+") as errors:
            done = subprocess.run([WINE, str(TOOLS / SLEEPER), "spawn", str(count - started), "600"],
                                  env=session().env, stdout=ids, stderr=errors, timeout=600)
            ids.seek(0)
            started += len(ids.read().split())
            errors.seek(0)
            refusal = errors.read().strip()
        if done.returncode == 0 or started >= count:
            return started
        print("  (%s; %d of %d started)" % (refusal or "sleeper spawn failed", started, count))
    raise RuntimeError("could not start %d sleepers: %s" % (count, refusal))


def end_sleepers():
    while count_sleepers():
        tool("wintool", "kill", SLEEPER, timeout=600)


def palisor_figures(rounds):
    first = tool("guicontrol", "time-command", "SystemGuard", "Refresh1", 1).stdout.strip()
    later = tool("guicontrol", "time-command", "SystemGuard", "Refresh1", rounds, timeout=600).stdout.strip()
    print("  first refresh:  " + first)
    print("  later refreshes: " + later)
    # The refreshes outlast the two seconds of waits measured meanwhile.
    busy = start_tool("guicontrol", "time-command", "SystemGuard", "Refresh1", 1000)
    stall = tool("guicontrol", "stall", 2000).stdout.strip()
    busy.kill()
    busy.communicate(timeout=60)
    print("  waits of messages during back-to-back refreshes: " + stall)


def timer_refresh_figures(program):
    # The tools started meanwhile carry the hook library: nothing of theirs may wait for a prompt.
    program.write_records("AllowedApps.txt", [["*.*", "*.*", "NOT SIGNED", "ANY"]])
    settings = dict(DEFAULT_SETTINGS, Autostart="yes")
    with Palisor(program, settings=settings):
        started = time.time() + 120
        while time.time() < started and not any("Palisor started!" in line for line in program.read_lines("SysLog.txt")):
            time.sleep(0.5)
        answer = start_tool("guicontrol", "answer-input", 20000, "100")
        tool("guicontrol", "command", "SystemGuard", "Processlistupdatespeed1")
        answer.communicate(timeout=60)
        stall = tool("guicontrol", "stall", 3000).stdout.strip()
        print("  waits of messages while Timer4 refreshes every 100 ms: " + stall)


def main():
    processes = int(sys.argv[1]) if len(sys.argv) > 1 else 300
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    end_sleepers()
    with ProgramDir("bench-processes") as program:
        with Palisor(program):
            print("== Palisor.exe, the machine's own processes")
            palisor_figures(rounds)
        try:
            started = spawn_sleepers(processes)
            print("== %d sleeper processes started" % started)
            print(tool("processlistbench", rounds, timeout=900).stdout, end="")
            with Palisor(program):
                print("== Palisor.exe, with the sleepers")
                palisor_figures(rounds)
            print("== Palisor.exe, firewall started, with the sleepers")
            timer_refresh_figures(program)
        finally:
            end_sleepers()
            print("sleepers left: %d" % count_sleepers())


if __name__ == "__main__":
    main()
