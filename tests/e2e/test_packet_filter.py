"""The packet filter: FWDLL.dll and its shared rule table, the advanced rules, the emergency block.

Guarded programs are the socket tools, started after the firewall so that they carry the hook
library; the advanced rules reach them through the table that FWDLL.dll shares with every
guarded process."""
import os
import subprocess
import time
import unittest

from harness import (BIN, DEFAULT_SETTINGS, TOOLS, WINE, Palisor, ProgramDir, encode_records, session, tool, wait_until,
                     windows_path)
from hook_fixtures import FakeFirewall, finish, start_server

PASS_EVERYTHING = ["*.*", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "0"]
WSAEACCES = 10013
BLOCKED_LINE = 'All traffic is blocked! Click "Resume operations" to restore previous status'
BASE_PORT = 41000 + os.getpid() % 1000 * 8

# The tests through Palisor.exe need its main window to call the packet filter: FormCreate's
# LoadPacketFilter, the shutdown block's ShutDownPacketFilter, the firewall switch's
# pStartFwlClick, the handlers of the "Advanced Network Guard" tab and pEmgStopClick.
MAIN_WINDOW_CALLS_THE_PACKET_FILTER = True
needs_main_window = unittest.skipUnless(MAIN_WINDOW_CALLS_THE_PACKET_FILTER,
                                        "the main window does not call the packet filter's handlers yet")

SECTION_TAKEN_LINE = "Packet filter section name taken by another program: using a private name"

# The system guard lets every program of the test do what it does, so no prompt waits for an answer.
ALLOW_EVERYTHING = ["*.*", "*.*", "NOT SIGNED", "ANY"]


def tcp_drop_rule(port):
    """An advanced rule that drops TCP sent to this destination port."""
    return ["6", "0.0.0.0", "0.0.0.0", "0", "0.0.0.0", "0.0.0.0", str(port), "0"]


def started_settings(**changes):
    settings = dict(DEFAULT_SETTINGS)
    settings.update({"Autostart": "yes", "Enable traffic logging": "yes"})
    settings.update(changes)
    return settings


def gui(*args):
    return tool("guicontrol", *args)


def log_messages(program):
    """The messages of the lines of "SysLog.txt", without their time stamps."""
    return [line.split(" : ", 1)[1] for line in program.read_lines("SysLog.txt") if " : " in line]


# A socket tool started from here has no guarded parent: it waits for the firewall's watcher to
# place the hook library (a look every quarter second) before its first call.
AWAIT_WATCHER = ("--await-hook", 10000)


def guarded_run(name, *args, attempts=10):
    """Runs a socket tool and returns its output. A program the watcher reached only after its
    first calls ("hooked=0", e.g. on a machine too busy for the wait) is run again."""
    for _ in range(attempts):
        output = tool(name, *args, *AWAIT_WATCHER, timeout=120).stdout
        if "hooked=0" not in output:
            return output
        time.sleep(0.2)
    return output


def refused_datagram(port):
    """Sends one datagram through the hook; True when the send failed as refused."""
    return "result=-1 error=%d hooked=1" % WSAEACCES in guarded_run("udpsender", port)


def connect_and_send(port, message="hello"):
    """Runs the TCP client against 127.0.0.1:port; returns its output."""
    return guarded_run("tcpclient", port, "--message", message)


def wait_until_new_programs_are_guarded(timeout=30.0):
    """New processes carry the hook once the firewall's watcher runs; a probe connects to a closed port."""
    if not wait_until(lambda: "hooked=1" in tool("tcpclient", BASE_PORT + 7, *AWAIT_WATCHER).stdout, timeout):
        raise AssertionError("programs started now are not guarded")


def connect_to_server(port):
    """Connects to a tcpserver on the port and sends "through"; returns the client's output. A
    server takes one connection, so a repeated run (see guarded_run) gets a server of its own."""
    for _ in range(10):
        server, reader = start_server(port)
        client = tool("tcpclient", port, "--message", "through", *AWAIT_WATCHER).stdout
        finish(server, reader)
        if "hooked=0" not in client:
            break
        time.sleep(0.2)
    return client


class FilterLibrary:
    """FWDLL.dll loaded by "packetfiltertool serve", its exports called one command at a time."""

    def __init__(self):
        self.process = subprocess.Popen([WINE, str(TOOLS / "packetfiltertool.exe"), "serve",
                                         windows_path(BIN / "FWDLL.dll")], env=session().env, text=True,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        assert self.process.stdout.readline().strip() == "loaded=1", "FWDLL.dll did not load"

    def call(self, command):
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()
        return int(self.process.stdout.readline().strip().split("=", 1)[1])

    def stop(self):
        if self.process.poll() is None:
            self.process.stdin.write("quit\n")
            self.process.stdin.close()
            self.process.wait(timeout=30)


class SharedTableTest(unittest.TestCase):
    """FWDLL.dll's rules in guarded programs, with the fake firewall window of the hook tests: a
    dropped call fails at once and sends no event; other calls go on to the window."""

    BLOCKED, OPEN = BASE_PORT + 6, BASE_PORT + 7

    @classmethod
    def setUpClass(cls):
        cls.library = FilterLibrary()
        assert cls.library.call("load") == 0
        assert cls.library.call("add 6 0.0.0.0 0.0.0.0 %d 0" % cls.BLOCKED) == 0
        assert cls.library.call("start") == 0
        cls.firewall = FakeFirewall()
        wait_until_new_programs_are_guarded()

    @classmethod
    def tearDownClass(cls):
        cls.firewall.stop()
        cls.firewall.__exit__()
        cls.library.stop()

    def client_events(self, mark, exe="tcpclient.exe"):
        return self.firewall.events_of(exe, mark, "net")

    def test_1_drop_rule_blocks_its_port_and_no_other(self):
        mark = self.firewall.mark()
        self.assertIn("connect error=%d hooked=1" % WSAEACCES, guarded_run("tcpclient", self.BLOCKED))
        self.assertEqual(self.client_events(mark), [], "a dropped call sends no event")

        mark = self.firewall.mark()
        output = connect_to_server(self.OPEN)
        self.assertIn("connect ok hooked=1", output)
        self.assertIn("send i=0 result=7 error=0", output)
        self.assertEqual(len(self.client_events(mark)), 2, "connect and send went on to the window")

    def test_2_catch_all_drop_blocks_everything_until_the_rules_are_restored(self):
        self.assertEqual(self.library.call("clear"), 0)
        self.assertEqual(self.library.call("add 0 0.0.0.0 0.0.0.0 0 0"), 0)
        mark = self.firewall.mark()
        self.assertIn("connect error=%d hooked=1" % WSAEACCES, guarded_run("tcpclient", self.OPEN))
        self.assertTrue(refused_datagram(self.OPEN))
        self.assertEqual(self.client_events(mark) + self.client_events(mark, "udpsender.exe"), [])

        self.assertEqual(self.library.call("clear"), 0)
        self.assertEqual(self.library.call("add 6 0.0.0.0 0.0.0.0 %d 0" % self.BLOCKED), 0)
        self.assertIn("connect ok hooked=1", connect_to_server(self.OPEN))
        self.assertIn("connect error=%d" % WSAEACCES, guarded_run("tcpclient", self.BLOCKED))

    def test_3_stopped_filter_lets_every_call_go_on_to_the_window(self):
        self.assertEqual(self.library.call("stop"), 0)
        try:
            mark = self.firewall.mark()
            output = guarded_run("tcpclient", self.BLOCKED)
            self.assertNotIn("error=%d" % WSAEACCES, output)
            self.assertEqual([e["op"] for e in self.client_events(mark)][:1], [7], "the connect was asked about")
        finally:
            self.library.call("start")


class FirewallRunningMixin:
    """Palisor started with the firewall (auto start), the traffic rules passing everything."""

    advanced_rules = []

    @classmethod
    def start_palisor(cls, name):
        cls.program = ProgramDir(name)
        cls.program.write_records("NetRules.txt", [PASS_EVERYTHING])
        cls.program.write_records("AllowedApps.txt", [ALLOW_EVERYTHING])
        cls.program.write_records("AdvNetRules.txt", cls.advanced_rules)
        cls.palisor = Palisor(cls.program, settings=started_settings())
        # The filter starts after the hook library has been placed, which may take a few passes.
        if not wait_until(lambda: "Advanced traffic filter rules applied successfully" in log_messages(cls.program),
                          timeout=60.0):
            raise AssertionError("the packet filter did not start: %s" % log_messages(cls.program))

    @classmethod
    def tearDownClass(cls):
        cls.palisor.stop()
        cls.program.__exit__()

    def traffic_log_ports(self):
        """The destination ports of the traffic log's rows."""
        rows = [row.split("|") for row in gui("rows", "TrafficLog").stdout.splitlines()]
        return {row[6] for row in rows if len(row) > 6}


@needs_main_window
class AdvancedRulesTest(FirewallRunningMixin, unittest.TestCase):
    BLOCKED, OPEN, ADDED = BASE_PORT, BASE_PORT + 1, BASE_PORT + 2
    advanced_rules = [tcp_drop_rule(BASE_PORT)]

    @classmethod
    def setUpClass(cls):
        cls.start_palisor("advanced-rules")

    def test_1_drop_rule_blocks_its_port_at_once_and_no_other(self):
        open_output = connect_to_server(self.OPEN)
        self.assertIn("connect ok", open_output)
        self.assertIn("error=0", open_output)
        self.assertIn(str(self.OPEN), self.traffic_log_ports())

        blocked_output = connect_and_send(self.BLOCKED)
        self.assertIn("connect error=%d" % WSAEACCES, blocked_output)
        self.assertNotIn(str(self.BLOCKED), self.traffic_log_ports(), "a dropped call reaches no event")

    def test_2_editor_is_enabled_while_the_filter_runs(self):
        self.assertEqual(gui("enabled", "pAdvNetGuard").returncode, 0)
        self.assertEqual(gui("enabled", "eDstPort").returncode, 0)

    def test_3_added_rule_is_applied_saved_and_shown_after_a_restart(self):
        gui("select", "cbAdvProto", "2")
        gui("set-text", "eDstPort", str(self.ADDED))
        self.assertEqual(gui("click", "Add Rule").returncode, 0)
        expected = [tcp_drop_rule(self.BLOCKED), tcp_drop_rule(self.ADDED)]
        self.assertEqual(self.program.read_bytes("AdvNetRules.txt"), encode_records(expected))
        self.assertIn("connect error=%d" % WSAEACCES, connect_and_send(self.ADDED))

        self.palisor.stop()
        self.palisor = type(self).palisor = Palisor(self.program, settings=dict(DEFAULT_SETTINGS))
        shown = ["|".join(rule) for rule in expected]
        wait_until(lambda: gui("rows", "RulesGrid").stdout.splitlines() == shown, timeout=30.0)
        self.assertEqual(gui("rows", "RulesGrid").stdout.splitlines(), shown)
        self.assertEqual(gui("enabled", "pAdvNetGuard").returncode, 1, "the editor waits for the filter")


@needs_main_window
class EmergencyBlockTest(FirewallRunningMixin, unittest.TestCase):
    BLOCKED, OPEN = BASE_PORT + 3, BASE_PORT + 4
    advanced_rules = [tcp_drop_rule(BASE_PORT + 3)]

    @classmethod
    def setUpClass(cls):
        cls.start_palisor("emergency-block")

    def test_block_then_resume(self):
        self.assertEqual(gui("click", "Block Internet Access").returncode, 0)
        self.assertEqual(gui("caption", "pEmgStop").stdout.strip(), "Resume operations")
        self.assertIn("connect error=%d" % WSAEACCES, connect_and_send(self.OPEN))
        self.assertTrue(refused_datagram(self.OPEN))
        self.assertNotIn(str(self.OPEN), self.traffic_log_ports(), "a blocked call reaches no event")

        self.assertEqual(gui("click", "Resume operations").returncode, 0)
        self.assertEqual(gui("caption", "pEmgStop").stdout.strip(), "Block all Internet Access")
        self.assertIn("connect ok", connect_to_server(self.OPEN))
        self.assertIn("connect error=%d" % WSAEACCES, connect_and_send(self.BLOCKED), "the advanced rule is back")
        ours = [BLOCKED_LINE, "Advanced traffic filter rules applied successfully", "Normal network operations resumed"]
        messages = [m for m in log_messages(self.program) if m in ours]  # without the system guard's lines
        self.assertEqual(messages[messages.index(BLOCKED_LINE):], ours)


class SectionSquatter:
    """Another program that takes the section's well-known names before Palisor starts
    ("packetfiltertool squat"): its tables pass everything, with filtering on."""

    def __init__(self):
        self.process = subprocess.Popen([WINE, str(TOOLS / "packetfiltertool.exe"), "squat"], env=session().env,
                                        text=True, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL)
        self.names = self.process.stdout.readline().strip()

    def tables(self):
        """The state of its tables, as it reads them."""
        self.process.stdin.write("check\n")
        self.process.stdin.flush()
        return self.process.stdout.readline().strip()

    def stop(self):
        if self.process.poll() is None:
            self.process.stdin.write("quit\n")
            self.process.stdin.close()
            self.process.wait(timeout=30)


@needs_main_window
class TakenSectionNameTest(FirewallRunningMixin, unittest.TestCase):
    """The section's names taken by another program before Palisor starts: Palisor leaves that
    program's section alone, says so in the system log, and keeps its rules under a name of its
    own; the advanced rules and "block all" hold exactly as the tab shows them."""

    BLOCKED, OPEN = 7120, 7121
    advanced_rules = [tcp_drop_rule(7120)]

    @classmethod
    def setUpClass(cls):
        cls.squatter = SectionSquatter()
        cls.squatted = cls.squatter.tables()
        try:
            cls.start_palisor("taken-section")
        except AssertionError:
            cls.squatter.stop()
            raise

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        cls.squatter.stop()

    def test_1_palisor_logs_the_taken_name_and_leaves_that_section_alone(self):
        self.assertEqual(self.squatter.names, "squatting global=1 local=1")
        # Logged at start-up, before "SysLog.txt" is open: the list shows it.
        rows = [row.split(" : ", 1)[-1] for row in gui("rows", "SysLog").stdout.splitlines()]
        self.assertEqual(rows[:3], ["Advanced firewall DLL loaded successfully",
                                    "Advanced firewall driver initialized successfully", SECTION_TAKEN_LINE])
        self.assertEqual(self.squatted, " ".join(["count=1 filtering=1 action=1 magic=%d" % 0x46505350] * 2))
        self.assertEqual(self.squatter.tables(), self.squatted, "Palisor wrote nothing into the other section")

    def test_2_rules_and_block_all_hold_as_the_tab_shows(self):
        self.assertEqual(gui("rows", "RulesGrid").stdout.splitlines(), ["|".join(tcp_drop_rule(self.BLOCKED))])
        self.assertIn("connect error=%d" % WSAEACCES, connect_and_send(self.BLOCKED))
        self.assertIn("connect ok", connect_to_server(self.OPEN))

        self.assertEqual(gui("click", "Block Internet Access").returncode, 0)
        self.assertIn("connect error=%d" % WSAEACCES, connect_and_send(self.OPEN))
        self.assertTrue(refused_datagram(self.OPEN))
        self.assertEqual(gui("click", "Resume operations").returncode, 0)
        self.assertIn("connect ok", connect_to_server(self.OPEN))
        self.assertIn("connect error=%d" % WSAEACCES, connect_and_send(self.BLOCKED))
        self.assertEqual(self.squatter.tables(), self.squatted)


class FwdllTest(unittest.TestCase):
    def test_exports_and_the_table_seen_from_other_processes(self):
        result = tool("packetfiltertool", "selftest", windows_path(BIN / "FWDLL.dll"))
        self.assertEqual(result.returncode, 0, result.stdout)
        self.assertIn(" 0 failed", result.stdout)


@needs_main_window
class StartupTest(unittest.TestCase):
    def test_library_is_loaded_and_its_driver_initialised(self):
        with ProgramDir("fwdll-present") as program, Palisor(program):
            rows = [row.split(" : ", 1)[-1] for row in gui("rows", "SysLog").stdout.splitlines()]
            self.assertEqual(rows[:2], ["Advanced firewall DLL loaded successfully",
                                        "Advanced firewall driver initialized successfully"])
            self.assertIsNotNone(program.read_bytes("AdvNetRules.txt"), "created empty at start-up")

    def test_missing_library_ends_the_start_up(self):
        keep = ("Palisor.exe", "PalisorDLL.dll", "help.chm")
        with ProgramDir("fwdll-missing", keep_files=keep) as program, Palisor(program, settings=started_settings()):
            rows = [row.split(" : ", 1)[-1] for row in gui("rows", "SysLog").stdout.splitlines()]
            self.assertEqual(rows[0], "Error loading firewall DLL")
            self.assertTrue(rows[1].startswith("System Error.  Code: 126."), rows)
            time.sleep(1)  # no deferred start follows
            for name in ("SysLog.txt", "NetRules.txt", "AdvNetRules.txt", "ContentRules.txt"):
                self.assertIsNone(program.read_bytes(name), name + " is not opened")
            self.assertIn("hooked=0", connect_and_send(BASE_PORT + 5))


if __name__ == "__main__":
    unittest.main()
