"""The whole road of real calls through Palisor.exe: the firewall starts by itself ("Auto start
firewall"), places the hook library, and its rules decide the socket and system calls of the test
programs."""
import time
import unittest

from harness import DEFAULT_SETTINGS, Palisor, ProgramDir, kill_programs, parse_fields, start_tool, tool
from hook_fixtures import (AWAIT_HOOK, ERROR_ACCESS_DENIED, WSAEACCES, LineReader, finish, lines_with,
                           remove_hook_library, start_server)

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
    """Palisor.exe started with the firewall on, its watcher placing the hook library into the
    programs started from now on."""

    def __init__(self, program, **settings):
        self.program = program
        self.palisor = Palisor(program, settings=dict(DEFAULT_SETTINGS, Autostart="yes", **settings))
        if not hooked_probe():
            self.stop()
            raise AssertionError("Palisor.exe did not place the hook library into a new program")

    def stop(self):
        self.palisor.stop()
        # A killed Palisor.exe leaves the library it placed (its own copy) behind: no later test may
        # meet its hooks.
        remove_hook_library(self.program.path)
        kill_programs("tcpclient.exe", "tcpserver.exe", "syscalls.exe")  # nor a test program of this module


class RunningPalisorClass:
    """A test class whose tests share one RunningPalisor in a program directory of its own."""

    @classmethod
    def start_palisor(cls, name, files, **settings):
        """`files`: {store file name: records} written before Palisor starts; `settings` as RunningPalisor's."""
        cls.program = ProgramDir(name)
        for file, records in files.items():
            cls.program.write_records(file, records)
        try:
            cls.palisor = RunningPalisor(cls.program, **settings)
        except AssertionError:
            cls.program.__exit__()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.palisor.stop()
        cls.program.__exit__()


class PalisorRulesTest(RunningPalisorClass, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.start_palisor("hook-palisor", {
            "NetRules.txt": [
                rule("TCPCLIENT.EXE", "DROP", "SEND", 6501),
                rule("TCPSERVER.EXE", "DROP", "RECEIVE", 6502),
                rule("TCPCLIENT.EXE", "PASS", "ANY", 6504, speed="64"),
                PASS_EVERYTHING,
            ],
            "ContentRules.txt": [["FORBIDDENWORD", "DROP"]],
            "AllowedApps.txt": [ALLOW_EVERYTHING],
            "ForbiddenApps.txt": [["SYSCALLS.EXE", "FORBIDDEN-TEST.DLL", "NOT SIGNED", "LOAD LIBRARY"]],
        })

    def exchange(self, port, *client_args, server_args=()):
        server, reader = start_server(port, "--timeout", 60000, *server_args)
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
        server, reader = start_server(6505, "--timeout", 60000)
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


class PalisorPromptTest(unittest.TestCase):
    def test_a_connection_no_rule_decides_is_put_to_the_user_and_made_on_pass(self):
        with ProgramDir("hook-prompt") as program:
            program.write_records("NetRules.txt", [rule("TCPSERVER.EXE", "PASS", "ANY", 0)])
            program.write_records("AllowedApps.txt", [ALLOW_EVERYTHING])
            palisor = RunningPalisor(program)
            try:
                server, reader = start_server(6601, "--timeout", 60000)
                client = start_tool("tcpclient", 6601, *AWAIT_HOOK, "--repeat", 0)
                clicked = []
                deadline = time.time() + 60
                while client.poll() is None and time.time() < deadline:
                    # A press that comes before the prompt's modal loop runs is lost: press again
                    # while the program still waits for its answer.
                    clicked += tool("promptclicker", "TForm2", "NETWORK GUARD", 5000, "PASS").stdout.splitlines()
                    time.sleep(0.3)
                connected = LineReader(client).rest()
                finish(server, reader)
                self.assertIn("clicked: PASS", clicked)
                self.assertTrue(any(line.startswith("text:") and "CONNECT" in line for line in clicked), clicked)
                self.assertIn("connect ok hooked=1", connected)
                self.assertEqual(program.read_records("NetRules.txt", 9)[1:], [], "PASS without saving adds no rule")
            finally:
                palisor.stop()


class PalisorKilledTest(unittest.TestCase):
    def test_a_program_goes_on_when_palisor_is_killed_while_it_sends(self):
        with ProgramDir("hook-killed") as program:
            program.write_records("NetRules.txt", [PASS_EVERYTHING])
            program.write_records("AllowedApps.txt", [ALLOW_EVERYTHING])
            palisor = RunningPalisor(program)
            try:
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


class PalisorStopTest(unittest.TestCase):
    def test_after_stop_firewall_calls_pass_unhooked_and_no_library_is_left(self):
        with ProgramDir("hook-stop") as program:
            program.write_records("NetRules.txt", [PASS_EVERYTHING])
            program.write_records("AllowedApps.txt", [ALLOW_EVERYTHING])
            palisor = RunningPalisor(program)
            try:
                server, reader = start_server(6603, "--quiet", "--timeout", 30000)
                client = start_tool("tcpclient", 6603, *AWAIT_HOOK, "--repeat", 40, "--interval", 100)
                output = LineReader(client)
                output.wait_for("send i=3", timeout=30)
                self.assertEqual(tool("guicontrol", "click", "Stop Firewall").returncode, 0)
                client.wait(timeout=60)
                lines = output.rest()
                finish(server, reader)
                sends = lines_with(lines, "send")
                self.assertEqual([s["result"] for s in sends], [5] * 40)
                hooked = [s["hooked"] for s in sends]
                self.assertEqual((hooked[0], hooked[-1]), (1, 0))
                self.assertEqual(hooked, sorted(hooked, reverse=True))
                self.assertIn("end loaded=0", lines)
                self.assertIn("Palisor stopped!", [line.split(" : ", 1)[-1] for line in program.read_lines("SysLog.txt")])
                later = parse_fields(tool("syscalls", "getattr", "C:\\windows", "--await-hook", 2000).stdout)
                self.assertEqual(later["hooked"], 0, "a program started after the stop is not guarded")
            finally:
                palisor.stop()


class PalisorLearningTest(unittest.TestCase):
    def test_a_learning_run_records_the_program_as_allowed(self):
        with ProgramDir("hook-learning") as program:
            program.write_records("NetRules.txt", [PASS_EVERYTHING])
            palisor = RunningPalisor(program, **{"Enable system profiling": "yes"})
            try:
                tool("syscalls", "getattr", "C:\\windows", *AWAIT_HOOK)
                apps = [record[0] for record in program.read_records("AllowedApps.txt", 4)]
                self.assertIn("SYSCALLS.EXE", apps)
            finally:
                palisor.stop()


if __name__ == "__main__":
    unittest.main()
