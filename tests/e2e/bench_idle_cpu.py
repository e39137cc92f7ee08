"""Benchmark: the processor time Palisor.exe takes while its firewall is started and nothing
happens (not a test; prints figures):

    python3 tests/e2e/bench_idle_cpu.py [SECONDS]

Starts Palisor.exe with "Auto start firewall", waits until its start-up is over (the hook library
placed into the running programs), then reads its processor time (user and system, from the
kernel's account of the Wine process) at the start and the end of SECONDS (default 20) and prints
it as a share of one core."""
import os
import sys
import time

from harness import ProgramDir, windows_processes
from test_hook_palisor import ALLOW_EVERYTHING, PASS_EVERYTHING, RunningPalisor


def cpu_seconds(pid):
    """User and system time of a process so far, in seconds."""
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def palisor_pid():
    return next(pid for pid, name in windows_processes() if name == "PALISOR.EXE")


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 20.0
    with ProgramDir("bench-idle-cpu") as program:
        program.write_records("NetRules.txt", [PASS_EVERYTHING])
        program.write_records("AllowedApps.txt", [ALLOW_EVERYTHING])
        running = RunningPalisor(program)  # returns once a new program was found and guarded
        try:
            pid = palisor_pid()
            time.sleep(2)  # the placements into the programs found at the start end meanwhile
            before, started = cpu_seconds(pid), time.monotonic()
            time.sleep(seconds)
            used, elapsed = cpu_seconds(pid) - before, time.monotonic() - started
            print("Palisor.exe with the firewall started and idle: %.2f s of processor time in %.1f s = %.2f %% of a core"
                  % (used, elapsed, 100 * used / elapsed))
        finally:
            running.stop()


if __name__ == "__main__":
    main()
