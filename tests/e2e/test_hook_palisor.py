"""The whole road of real calls through Palisor.exe: the firewall starts by itself ("Auto start
firewall"), places the hook library, and its rules decide the socket and system calls of the test
programs. Where Palisor.exe does not place the library itself, the injection engine of the fake
firewall tool places it (without a window of its own) so that Palisor.exe's window answers."""
import os
import unittest

from harness import DEFAULT_SETTINGS, Palisor, ProgramDir, parse_fields, start_tool, tool
from hook_fixtures import (AWAIT_HOOK, ERROR_ACCESS_DENIED, WSAEACCES, FakeFirewall, LineReader, finish, lines_with,
                           remove_hook_library, start_server)

# These tests leave the Wine session so that a later module's network prompt does not show
# (under investigation); they run only when asked for.
ENABLED = os.environ.get("PALISOR_E2E_FIREWALL_ON") == "1"
SKIP_REASON = "set PALISOR_E2E_FIREWALL_ON=1 to run the tests through Palisor.exe with the firewall on"

PASS_EVERYTHING = ["*.*", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "0"]
ALLOW_EVERYTHING = ["*.*", "*.*", "NOT SIGNED", "ANY"]


def rule(app, action, operation, dest_port, speed="0"):
    return [app, "ANY", "0.0.0.0", "0", "0.0.0.0", str(dest_port), action, operation, speed]


def hooked_probe(tries=3):
    """Whether a program started now gets the hook library (looked at a few times: a busy machine
    may take a while to start one)."""
    for _ in range(tries):
        if "hooked=1" in tool("syscalls", "getattr", "C:\\windows", "--await-hook", 8000).stdout:
            return True
    return False


class RunningPalisor:
    """Palisor.exe started with the firewall on; `placement` is the stand-in injector, if needed."""

    def __init__(self, program, **settings):
        self.program = program
        self.palisor = Palisor(program, settings=dict(DEFAULT_SETTINGS, Autostart="yes", **settings))
        self.placement = None
        if not hooked_probe():
            self.placement = FakeFirewall(window=False)
        self.hooked = hooked_probe()

    def stop(self):
        if self.placement:
            self.placement.stop()
            self.placement.__exit__()
        self.palisor.stop()
        # A killed Palisor.exe leaves the library it placed (its own copy) behind: no later test may
        # meet its hooks.
        remove_hook_library(self.program.path)
        for name in ("tcpclient.exe", "tcpserver.exe", "syscalls.exe"):
            tool("wintool", "kill", name)  # nor a test program of this module


class PalisorRulesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.palisor = None
        if not ENABLED:
            return
        cls.program = ProgramDir("hook-palisor")
        cls.program.write_records("NetRules.txt", [
            rule("TCPCLIENT.EXE", "DROP", "SEND", 6501),
            rule("TCPSERVER.EXE", "DROP", "RECEIVE", 6502),
            rule("TCPCLIENT.EXE", "PASS", "ANY", 6504, speed="64"),
            PASS_EVERYTHING,
        ])
        cls.program.write_records("ContentRules.txt", [["FORBIDDENWORD", "DROP"]])
        cls.program.write_records("AllowedApps.txt", [ALLOW_EVERYTHING])
        cls.program.write_records("ForbiddenApps.txt", [["SYSCALLS.EXE", "FORBIDDEN-TEST.DLL", "NOT SIGNED", "LOAD LIBRARY"]])
        cls.palisor = RunningPalisor(cls.program)

    def setUp(self):
        if not ENABLED:
            self.skipTest(SKIP_REASON)
        if not self.palisor.hooked:
            self.skipTest("the hook library could not be placed")

    @classmethod
    def tearDownClass(cls):
        if cls.palisor:
            cls.palisor.stop()
            cls.program.__exit__()

    def exchange(self, port, *client_args, server_args=()):
        server, reader = start_server(port, "--timeout", 5000, *server_args)
        client = tool("tcpclient", port, *(AWAIT_HOOK + client_args))
        return client.stdout.splitlines(), finish(server, reader)

    def test_a_drop_rule_fails_the_clients_send_and_nothing_arrives(self):
        client, server = self.exchange(6501, "--message", "dropped", "--repeat", 2)
        self.assertEqual([(s["result"], s["error"]) for s in lines_with(client, "send")], [(-1, WSAEACCES)] * 2)
        self.assertIn("total bytes=0", server[-1])

    def test_a_drop_rule_for_the_servers_receives_discards_them(self):
        client, server = self.exchange(6502, "--message", "unwanted")
        self.assertEqual(lines_with(client, "send")[0]["result"], 8)
        self.assertIn("recv error=%d" % WSAEACCES, server)
        self.assertIn("total bytes=0", server[-1])

    def test_a_pass_rule_delivers_the_data_unchanged(self):
        client, server = self.exchange(6503, "--message", "unchanged", "--repeat", 2)
        self.assertEqual([s["result"] for s in lines_with(client, "send")], [9, 9])
        self.assertEqual("".join(line.split("data=", 1)[1] for line in server if line.startswith("recv n=")),
                         "unchangedunchanged")

    def test_a_content_rule_drops_only_the_send_holding_the_pattern(self):
        server, reader = start_server(6505, "--timeout", 5000)
        results = []
        client = start_tool("tcpclient", 6505, *AWAIT_HOOK, "--message", "hello", "--repeat", 1)
        results += lines_with(LineReader(client).rest(), "send")
        finish(server, reader)
        client_lines, server_lines = self.exchange(6506, "--message", "say forbiddenword now")
        self.assertEqual(results[0]["result"], 5)
        self.assertEqual(lines_with(client_lines, "send")[0]["error"], WSAEACCES)
        self.assertIn("total bytes=0", server_lines[-1])

    def test_max_speed_holds_a_bulk_transfer_within_a_fifth_of_the_rate(self):
        client, server = self.exchange(6504, "--bulk", 40000, "--chunk", 1000, server_args=("--quiet",))
        rate = float([line for line in client if line.startswith("bulk")][0].split("bytes_per_s=")[1])
        self.assertAlmostEqual(rate, 8000, delta=1600)
        self.assertIn("total bytes=40000", server[-1])

    def test_loading_a_forbidden_library_fails(self):
        refused = parse_fields(tool("syscalls", "loadlib", "forbidden-test.dll", *AWAIT_HOOK).stdout)
        self.assertEqual((refused["result"], refused["error"]), (0, ERROR_ACCESS_DENIED))
        allowed = parse_fields(tool("syscalls", "loadlib", "ws2_32.dll", *AWAIT_HOOK).stdout)
        self.assertEqual(allowed["result"], 1)


class PalisorKilledTest(unittest.TestCase):
    def setUp(self):
        if not ENABLED:
            self.skipTest(SKIP_REASON)

    def test_a_program_goes_on_when_palisor_is_killed_while_it_sends(self):
        with ProgramDir("hook-killed") as program:
            program.write_records("NetRules.txt", [PASS_EVERYTHING])
            program.write_records("AllowedApps.txt", [ALLOW_EVERYTHING])
            palisor = RunningPalisor(program)
            try:
                if not palisor.hooked:
                    self.skipTest("the hook library could not be placed")
                server, reader = start_server(6602, "--quiet", "--timeout", 30000)
                client = start_tool("tcpclient", 6602, *AWAIT_HOOK, "--repeat", 30, "--interval", 100)
                output = LineReader(client)
                output.wait_for("send i=3", timeout=30)
                palisor.palisor.stop()  # killed, not stopped: the hook library stays in the client
                client.wait(timeout=30)
                sends = lines_with(output.rest(), "send")
                finish(server, reader)
                self.assertEqual([s["result"] for s in sends], [5] * 30)
                hooked = [s["hooked"] for s in sends]
                self.assertEqual(hooked[0], 1)
                # once the window is gone the hooks withdraw and stay out
                self.assertEqual(hooked, sorted(hooked, reverse=True))
            finally:
                palisor.stop()


class PalisorLearningTest(unittest.TestCase):
    def setUp(self):
        if not ENABLED:
            self.skipTest(SKIP_REASON)

    def test_a_learning_run_records_the_program_as_allowed(self):
        with ProgramDir("hook-learning") as program:
            program.write_records("NetRules.txt", [PASS_EVERYTHING])
            palisor = RunningPalisor(program, **{"Enable system profiling": "yes"})
            try:
                self.assertTrue(palisor.hooked)
                tool("syscalls", "getattr", "C:\\windows", *AWAIT_HOOK)
                apps = [record[0] for record in program.read_records("AllowedApps.txt", 4)]
                self.assertIn("SYSCALLS.EXE", apps)
            finally:
                palisor.stop()


if __name__ == "__main__":
    unittest.main()
