"""The road of real system calls through the hook library: each reported with its target text,
refused as the API refuses access when the fake firewall drops it, passed otherwise; children of
a hooked program and lookups with GetProcAddress are guarded too."""
import unittest

from harness import TOOLS, parse_fields, tool, wait_until, windows_path, windows_processes
from hook_fixtures import AWAIT_HOOK, ERROR_ACCESS_DENIED, NETWORK_OPS, FakeFirewall

SYSTEM_OPS = {"EXECUTE": 0, "LOAD LIBRARY": 1, "ACCESS FILE": 2, "OPEN FILE": 3, "DELETE FILE": 4, "GET ADDRESS": 5,
              "DELETE KEY VALUE": 6, "WRITE KEY VALUE": 7, "READ KEY VALUE": 8, "DELETE KEY": 9}
KEY = "Software\\PalisorHookTest"


def running(name):
    return any(program == name for _, program in windows_processes())


def syscalls(*args):
    result = tool("syscalls", *(args + AWAIT_HOOK))
    lines = [parse_fields(line) for line in result.stdout.splitlines() if " i=" in line]
    if not lines:
        raise AssertionError("syscalls printed nothing: %r %r" % (result.stdout, result.stderr))
    return lines[0]


class HookedSystemCallsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.firewall = FakeFirewall()
        cls.scratch = TOOLS / "hook-scratch.txt"

    @classmethod
    def tearDownClass(cls):
        cls.firewall.stop()
        cls.firewall.__exit__()
        cls.scratch.unlink(missing_ok=True)

    def setUp(self):
        self.firewall.answer()
        self.scratch.write_text("scratch")
        self.mark = self.firewall.mark()

    def reported(self, op):
        return [e["target"] for e in self.firewall.events_of("syscalls.exe", self.mark, "sys") if e["op"] == op]

    def test_each_call_is_reported_with_its_target_and_refused_when_dropped(self):
        scratch = windows_path(self.scratch)
        cases = [
            # (call, its arguments, operation, the target's end as reported, the refused result's error)
            ("loadlib", ("forbidden-test.dll",), "LOAD LIBRARY", "FORBIDDEN-TEST.DLL", ERROR_ACCESS_DENIED),
            ("getattr", (scratch,), "ACCESS FILE", "HOOK-SCRATCH.TXT", ERROR_ACCESS_DENIED),
            ("open", (scratch,), "OPEN FILE", "HOOK-SCRATCH.TXT", ERROR_ACCESS_DENIED),
            ("delete", (scratch,), "DELETE FILE", "HOOK-SCRATCH.TXT", ERROR_ACCESS_DENIED),
            ("regset", (KEY, "Probe", "data"), "WRITE KEY VALUE", "\\SOFTWARE\\PALISORHOOKTEST\\PROBE", ERROR_ACCESS_DENIED),
            ("regquery", (KEY, "Probe"), "READ KEY VALUE", "\\SOFTWARE\\PALISORHOOKTEST\\PROBE", ERROR_ACCESS_DENIED),
            ("regdelete", (KEY, "Probe"), "DELETE KEY VALUE", "\\SOFTWARE\\PALISORHOOKTEST\\PROBE", ERROR_ACCESS_DENIED),
            ("regdeletekey", (KEY, "Child"), "DELETE KEY", "\\SOFTWARE\\PALISORHOOKTEST\\CHILD", ERROR_ACCESS_DENIED),
        ]
        for call, args, operation, target_end, refused_error in cases:
            for wide in ((), ("--wide",)):
                with self.subTest(call=call, wide=bool(wide)):
                    probe = target_end.rsplit("\\", 1)[-1]
                    self.firewall.answer("--drop-target", probe)
                    self.scratch.write_text("scratch")
                    self.mark = self.firewall.mark()
                    refused = syscalls(call, *(args + wide))
                    self.assertEqual((refused["result"], refused["error"], refused["hooked"]), (0, refused_error, 1))
                    targets = self.reported(SYSTEM_OPS[operation])
                    self.assertTrue(any(t.endswith(target_end) for t in targets), (operation, targets))

    def test_registry_targets_name_the_full_key_path(self):
        syscalls("regset", KEY, "Named", "x")
        targets = self.reported(SYSTEM_OPS["WRITE KEY VALUE"])
        self.assertTrue(any(t.startswith("HKEY_USERS\\S-1-5-") and t.endswith("\\SOFTWARE\\PALISORHOOKTEST\\NAMED")
                            for t in targets), targets)

    def test_passed_calls_do_what_they_do(self):
        scratch = windows_path(self.scratch)
        self.assertEqual(syscalls("loadlib", "ws2_32.dll")["result"], 1)
        self.assertEqual(syscalls("getattr", scratch)["result"], 1)
        self.assertEqual(syscalls("delete", scratch)["result"], 1)
        self.assertFalse(self.scratch.exists())
        self.assertEqual(self.reported(SYSTEM_OPS["DELETE FILE"])[-1], scratch.upper())

    def test_functions_looked_up_at_run_time_are_hooked(self):
        looked_up = syscalls("getproc", "ws2_32.dll", "send")
        self.assertEqual((looked_up["result"], looked_up["inside_hook"]), (1, 1))
        other = syscalls("getproc", "ws2_32.dll", "htons")
        self.assertEqual((other["result"], other["inside_hook"]), (1, 0))
        self.assertIn("SEND", self.reported(SYSTEM_OPS["GET ADDRESS"]))
        self.firewall.answer("--drop-target", "htons")
        refused = syscalls("getproc", "ws2_32.dll", "htons")
        self.assertEqual((refused["result"], refused["error"]), (0, ERROR_ACCESS_DENIED))

    def test_a_child_of_a_hooked_program_is_guarded_from_its_first_call(self):
        for call in ("exec", "winexec"):
            with self.subTest(call=call):
                mark = self.firewall.mark()
                child = '"%s" 6999' % windows_path(TOOLS / "tcpclient.exe")
                parent = syscalls(call, child)
                self.assertEqual(parent["result"], 1)
                self.assertIn(child.upper(), self.reported(SYSTEM_OPS["EXECUTE"]))

                def connects():
                    return [e for e in self.firewall.events_of("tcpclient.exe", mark, "net")
                            if e["op"] == NETWORK_OPS["CONNECT"]]

                # WinExec returns once the child exists, not when it has ended.
                self.assertTrue(wait_until(lambda: not running("TCPCLIENT.EXE"), timeout=60), "the child ended")
                self.assertEqual(len(connects()), 1)  # the child's very first socket call
                self.assertEqual(connects()[0]["remote"], "127.0.0.1:6999")

    def test_a_refused_program_does_not_start(self):
        self.firewall.answer("--drop-target", "tcpclient.exe")
        child = '"%s" 6998' % windows_path(TOOLS / "tcpclient.exe")
        mark = self.firewall.mark()
        for call, error_field in (("exec", "error"), ("winexec", "code")):
            with self.subTest(call=call):
                refused = syscalls(call, child)
                self.assertEqual((refused["result"], refused[error_field], refused["hooked"]),
                                 (0, ERROR_ACCESS_DENIED, 1), refused)
        self.assertEqual(self.firewall.events_of("tcpclient.exe", mark), [])


if __name__ == "__main__":
    unittest.main()
