"""Load benchmark under Wine, in one run (not a test; prints figures, fails only when calls go
unanswered or the packet log loses or tears a record):

    python3 tests/e2e/bench_load.py [PROGRAMS] [CALLS]     defaults 20 programs, 5000 calls each

Palisor.exe runs with its firewall started, traffic logging on and learning mode on. PROGRAMS
guarded programs (loadclient) start at once, each making CALLS decided calls: datagrams passed
by a rule, dropped by a rule, dropped by the content filter, and system events. Printed: the calls
answered as their rules say, the calls that were not (timed out, or busy beyond the back-off),
calls per second over the whole run, the longest wait of one call, and the packet log's check:
exactly one complete record per decided network event of each program."""
import re
import sys
import time

from harness import ProgramDir, parse_fields, start_tool
from test_hook_palisor import PASS_EVERYTHING, RunningPalisor, rule

PASS_PORT, DROP_PORT = 7301, 7302
START, END = b"-= START OF PACKET =-\r\n", b"-= END OF PACKET =-\r\n"


def packet_log_counts(data):
    """Complete records per process id, and the number of torn pieces (bytes before the first
    record, or a record cut short)."""
    counts = {}
    pieces = data.split(START)
    torn = 1 if pieces[0] else 0
    for record in pieces[1:]:
        pid = re.search(rb"^Date and Time: [^\r]*\r\nProcessID: (\d+)\r\n", record)
        if not record.endswith(END) or not pid:
            torn += 1
            continue
        counts[int(pid.group(1))] = counts.get(int(pid.group(1)), 0) + 1
    return counts, torn


def run(programs, calls):
    with ProgramDir("bench-load") as program:
        program.write_records("NetRules.txt", [rule("*.*", "DROP", "ANY", DROP_PORT), PASS_EVERYTHING])
        program.write_records("ContentRules.txt", [["FORBIDDEN", "DROP"]])
        palisor = RunningPalisor(program, **{"Enable traffic logging": "yes", "Enable system profiling": "yes"})
        try:
            started = time.monotonic()
            clients = [start_tool("loadclient", calls, PASS_PORT, DROP_PORT, "--await-hook", 120000)
                       for _ in range(programs)]
            outputs = [client.communicate(timeout=3600)[0] for client in clients]
            elapsed = time.monotonic() - started
            # The last records are written before the last answers: the log is complete now.
            log = program.read_bytes("NetLog.txt") or b""
        finally:
            palisor.stop()
    results = [parse_fields(line) for out in outputs for line in out.splitlines() if line.startswith("load ")]
    counts, torn = packet_log_counts(log)
    total = programs * calls
    made = sum(r["calls"] for r in results)
    wrong = sum(r["wrong"] for r in results)
    unhooked = sum(1 for r in results if r["hooked"] != 1)
    lost = sum(abs(counts.get(r["pid"], 0) - r["network"]) for r in results)
    print("programs %d, calls %d each, traffic logging on" % (programs, calls))
    print("calls answered as their rules say: %d of %d (%.2f %%)" % (made - wrong, total, 100.0 * (made - wrong) / total))
    print("calls not answered (timed out or busy beyond the back-off): %d; programs not guarded: %d;"
          " programs that did not report: %d" % (wrong, unhooked, programs - len(results)))
    span = (max([r["ended"] for r in results] or [0]) - min([r["began"] for r in results] or [0])) / 1000.0
    print("calls per second: %.0f (%d calls from the first call's start to the last call's end, %.1f s; %.1f s with"
          " the programs' start-up; longest wait for the hook library %.0f ms)"
          % (made / max(span, 0.001), made, span, elapsed, max([float(r["awaited_ms"]) for r in results] or [0])))
    print("longest wait of one call: %.1f ms" % max([float(r["longest_ms"]) for r in results] or [0]))
    print("NetLog.txt: %d complete records of the programs' %d decided network events; lost or extra: %d;"
          " torn records: %d"
          % (sum(counts.get(r["pid"], 0) for r in results), sum(r["network"] for r in results), lost, torn))
    return len(results) == programs and wrong == 0 and unhooked == 0 and lost == 0 and torn == 0


def main():
    programs = int(sys.argv[1]) if len(sys.argv) > 1 else 20
    calls = int(sys.argv[2]) if len(sys.argv) > 2 else 5000
    ok = run(programs, calls)
    print("load: %s" % ("every call answered, every record whole" if ok else "FAILED"))
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
