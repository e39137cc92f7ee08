"""How often a program started after the firewall is guarded from its first call (not a test;
prints figures):

    python3 tests/e2e/bench_guarded_start.py [RUNS]

The fake firewall places the hook library and keeps its watcher running, as Palisor.exe's
started firewall does; each run starts `syscalls getattr` from outside any guarded process (so
only the watcher can reach it) and reads whether its one call went through the hook. Programs
started by a guarded parent are placed into before they run and are not counted here."""
import sys
import time

from hook_fixtures import FakeFirewall
from harness import tool


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 20
    with FakeFirewall() as firewall:
        guarded, took = 0, []
        for _ in range(runs):
            started = time.time()
            output = tool("syscalls", "getattr", "C:\\windows").stdout
            took.append(time.time() - started)
            guarded += "hooked=1" in output
        mark = firewall.mark()
        tool("syscalls", "getattr", "C:\\windows", "--await-hook", 8000)
        reported = len(firewall.events_of("syscalls.exe", mark, "sys"))
    took.sort()
    print("guarded from the first call: %d of %d runs" % (guarded, runs))
    print("one run of the program: median %.0f ms" % (1000 * took[len(took) // 2]))
    print("events of one more run awaiting the hook: %d" % reported)


if __name__ == "__main__":
    main()
