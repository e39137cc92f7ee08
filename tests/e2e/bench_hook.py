"""Benchmark of the hooked round trip under Wine, in one run (not a test; prints figures):

    PALISOR_WIN32_BUILD=build/<you>-win32 python3 tests/e2e/bench_hook.py [ROUNDS]

Palisor.exe runs with a first traffic rule that passes everything; hookbench measures small
round trips and a bulk transfer on loopback without and with the hook library in its process,
and the bare event round trip; the event sender's benchmark follows for comparison. Then the
same against the fake firewall window, which answers at once and draws nothing: there the
difference between a hooked call and a bare event is the hook library's own work alone."""
import sys

from harness import BIN, DEFAULT_SETTINGS, Palisor, ProgramDir, tool, windows_path
from hook_fixtures import FakeFirewall

PASS_EVERYTHING = ["*.*", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "0"]


def main():
    rounds = sys.argv[1] if len(sys.argv) > 1 else "2000"
    library = windows_path(BIN / "PalisorDLL.dll")
    print("== against Palisor.exe")
    with ProgramDir("bench-hook") as program:
        program.write_records("NetRules.txt", [PASS_EVERYTHING])
        settings = dict(DEFAULT_SETTINGS)
        settings["Enable system profiling"] = "yes"  # learning mode: system events pass without a prompt
        with Palisor(program, settings=settings):
            print(tool("hookbench", rounds, 4 * 1024 * 1024, library, timeout=600).stdout)
            print(tool("eventsender", "bench", rounds, timeout=600).stdout)
    print("== against the fake firewall window")
    with FakeFirewall(place=False):
        print(tool("hookbench", rounds, 4 * 1024 * 1024, library, timeout=600).stdout)


if __name__ == "__main__":
    main()
