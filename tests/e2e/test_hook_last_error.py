"""A hooked call leaves the thread's last error as the real call alone leaves it: a failing call
fails with the same error with and without the hook library (after its round trip to the
firewall), and a call that succeeds keeps the error the program had set before it."""
import unittest

from harness import TOOLS, parse_fields, tool, windows_path
from hook_fixtures import AWAIT_HOOK, FakeFirewall

PRESET_ERROR = 4242
CLOSED_PORT = 7109  # nothing listens here
SCRATCH = TOOLS / "last-error-scratch.txt"


def system_calls():
    """(call, argument, --wide or not) of calls that fail and calls that succeed."""
    missing_file = windows_path(TOOLS / "palisor-no-such-file.txt")
    missing_directory = "C:\\palisor-no-such-directory\\file.txt"
    existing = windows_path(SCRATCH)
    calls = [("open", missing_file), ("open", missing_directory), ("getattr", missing_file),
             ("delete", missing_file), ("loadlib", "palisor-no-such-library.dll"),
             ("open", existing), ("getattr", existing)]
    return [(call, argument, wide) for call, argument in calls for wide in ((), ("--wide",))]


def outcome(call, argument, wide, hooked):
    output = tool("syscalls", call, argument, "--preset-error", PRESET_ERROR, *wide, *(AWAIT_HOOK if hooked else ()))
    fields = parse_fields(output.stdout)
    if "result" not in fields:
        raise AssertionError("syscalls printed nothing: %r %r" % (output.stdout, output.stderr))
    return fields


def connect_to_closed_port(hooked):
    line = tool("tcpclient", CLOSED_PORT, *(AWAIT_HOOK if hooked else ())).stdout.splitlines()[0]
    return parse_fields(line)


class HookedLastErrorTest(unittest.TestCase):
    def setUp(self):
        SCRATCH.write_text("scratch")
        self.addCleanup(SCRATCH.unlink, missing_ok=True)

    def test_calls_leave_the_same_last_error_with_and_without_the_hook(self):
        unhooked = {case: outcome(*case, hooked=False) for case in system_calls()}
        unhooked_connect = connect_to_closed_port(hooked=False)
        with FakeFirewall() as firewall:
            hooked = {case: outcome(*case, hooked=True) for case in system_calls()}
            hooked_connect = connect_to_closed_port(hooked=True)
            asked = firewall.events_since()
        for case in system_calls():
            self.assertEqual((unhooked[case]["hooked"], hooked[case]["hooked"]), (0, 1), case)
            self.assertEqual((hooked[case]["result"], hooked[case]["error"], hooked[case]["last"]),
                             (unhooked[case]["result"], unhooked[case]["error"], unhooked[case]["last"]), case)
        self.assertEqual([hooked[case]["result"] for case in system_calls()], [0] * 10 + [1] * 4)
        self.assertEqual(unhooked[("getattr", windows_path(SCRATCH), ())]["last"], PRESET_ERROR)
        self.assertEqual((unhooked_connect["error"], unhooked_connect["hooked"]), (10061, 0))
        self.assertEqual((hooked_connect["error"], hooked_connect["hooked"]), (10061, 1))
        # Every call was put to the firewall first: the round trip happened between.
        self.assertTrue(any(e["kind"] == "sys" and e["app"].endswith("\\SYSCALLS.EXE") for e in asked))
        self.assertTrue(any(e["kind"] == "net" and e["app"].endswith("\\TCPCLIENT.EXE") for e in asked))


if __name__ == "__main__":
    unittest.main()
