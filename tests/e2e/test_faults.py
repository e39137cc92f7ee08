"""Palisor.exe killed at a bad moment: while it rewrites a large rule list, while a prompt waits for
the user, while guarded programs keep it busy. The next Palisor loads the files whole (a rewritten
list is the old one or the new one, never a torn file), the programs that waited go on, and the
next Palisor guards them by the same rules."""
import time
import unittest

from harness import DEFAULT_SETTINGS, Palisor, ProgramDir, kill_programs, parse_fields, start_tool, tool, wait_until
from hook_fixtures import WSAEACCES, LineReader, finish, start_server
from bench_load import DROP_PORT, PASS_PORT, packet_log_counts
from test_hook_palisor import ALLOW_EVERYTHING, PASS_EVERYTHING, RunningPalisor


def rule(app, port, action="PASS"):
    return [app, "ANY", "0.0.0.0", "0", "0.0.0.0", str(port), action, "ANY", "0"]


class KilledDuringARewriteTest(unittest.TestCase):
    COUNT = 100000

    def test_the_list_is_the_old_one_or_the_new_one_never_torn(self):
        with ProgramDir("fault-rewrite") as program:
            rules = [rule("APP%06d.EXE" % i, 1 + i % 60000) for i in range(self.COUNT)]
            program.write_records("NetRules.txt", rules)
            palisor = Palisor(program, settings=DEFAULT_SETTINGS)
            try:
                self.assertEqual(tool("guicontrol", "select-row", "Rules", 0).returncode, 0)
                deleting = start_tool("guicontrol", "command", "NetworkPanel", "Deleterule1")
                # Killed as soon as the rewrite shows, or right after the command if it was quicker.
                wait_until(lambda: program.file("NetRules.txt.new").exists() or deleting.poll() is not None, 30,
                           interval=0.001)
                palisor.stop()
                deleting.kill()
                deleting.wait(timeout=30)
            finally:
                palisor.stop()
            with Palisor(program, settings=DEFAULT_SETTINGS):  # its start-up loads the list
                self.assertFalse(program.file("NetRules.txt.new").exists(), "a rewrite left behind is settled")
                loaded = program.read_records("NetRules.txt", 9)
                self.assertIn(len(loaded), (self.COUNT, self.COUNT - 1))
                self.assertEqual(loaded, rules if len(loaded) == self.COUNT else rules[1:], "the old list or the new one")


# How long a hooked call waits for the firewall's answer: the prompt's 60 s and 5 s more.
ANSWER_TIMEOUT_S = 65


class PromptTest(unittest.TestCase):
    """A connection that no rule decides, put to the user in the NETWORK GUARD prompt."""

    def ask(self, port):
        """Starts a server and a hooked client whose connection no rule decides, and waits for its
        prompt; returns the client and the server's (process, reader)."""
        server = start_server(port, "--timeout", 120000)
        client = start_tool("tcpclient", port, "--await-hook", 30000, "--repeat", 0)
        # The prompt window exists hidden from the start: what is waited for is it shown, asking.
        shown = tool("promptclicker", "TForm2", "NETWORK GUARD", 30000, timeout=60).stdout.splitlines()
        self.assertIn("text: Destination Port: %d" % port, shown, "the prompt did not show")
        return client, server

    def refuse(self, port):
        """A connection put to the user and refused there: the client's call fails."""
        client, server = self.ask(port)
        clicked = []
        deadline = time.monotonic() + 60
        while client.poll() is None and time.monotonic() < deadline:
            # A press that comes before the prompt's modal loop runs is lost: press again while
            # the program still waits for its answer.
            clicked += tool("promptclicker", "TForm2", "NETWORK GUARD", 5000, "DROP").stdout.splitlines()
        refused = LineReader(client).rest(timeout=60)
        server[0].kill()  # it waits for a connection that was refused
        server[0].wait(timeout=60)
        self.assertIn("clicked: DROP", clicked)
        self.assertTrue(any(line.startswith("connect error=%d " % WSAEACCES) for line in refused), refused)

    def start_palisor(self, program):
        program.write_records("NetRules.txt", [rule("TCPSERVER.EXE", 0)])
        program.write_records("AllowedApps.txt", [ALLOW_EVERYTHING])
        return RunningPalisor(program)


class KilledDuringAPromptTest(PromptTest):
    def test_the_waiting_program_goes_on_and_the_next_palisor_decides_its_calls(self):
        with ProgramDir("fault-prompt") as program:
            first = self.start_palisor(program)
            try:
                client, server = self.ask(6611)
                killed_at = time.monotonic()
                self.assertTrue(kill_programs("Palisor.exe"), "Palisor.exe did not end when killed")
                went_on = LineReader(client).wait_for("connect", timeout=ANSWER_TIMEOUT_S + 30)
                waited = time.monotonic() - killed_at
                finish(*server)
                # The hook waits for an answer at most ANSWER_TIMEOUT_S; a vanished firewall ends the
                # wait at once or, when the system takes its time to tell, within that bound.
                self.assertLess(waited, ANSWER_TIMEOUT_S, "the waiting program went on only after %.1f s" % waited)
                self.assertTrue(went_on.startswith("connect ok"), "a call left without an answer proceeds")
            finally:
                first.stop()
            second = RunningPalisor(program)  # the same prefix: its programs met the first one's hooks
            try:
                self.refuse(6612)
            finally:
                second.stop()


class KilledUnderLoadTest(unittest.TestCase):
    PROGRAMS, CALLS = 4, 3000

    def test_every_program_goes_on_and_the_next_palisor_starts_on_whole_files(self):
        with ProgramDir("fault-load") as program:
            net_rules = [rule("*.*", DROP_PORT, "DROP"), PASS_EVERYTHING]
            content_rules = [["FORBIDDEN", "DROP"]]
            program.write_records("NetRules.txt", net_rules)
            program.write_records("ContentRules.txt", content_rules)
            learning = {"Enable system profiling": "yes"}
            palisor = RunningPalisor(program, **learning, **{"Enable traffic logging": "yes"})
            try:
                clients = [start_tool("loadclient", self.CALLS, PASS_PORT, DROP_PORT, "--await-hook", 120000)
                           for _ in range(self.PROGRAMS)]
                # Killed in the middle: the packet log and the learnt entries are being written.
                self.assertTrue(wait_until(lambda: len(program.read_bytes("NetLog.txt") or b"") > 50000, 300),
                                "the programs' calls were not logged")
                killed_at = time.monotonic()
                self.assertTrue(kill_programs("Palisor.exe"), "Palisor.exe did not end when killed")
                outputs = [client.communicate(timeout=ANSWER_TIMEOUT_S + 120)[0] for client in clients]
                went_on = time.monotonic() - killed_at
            finally:
                palisor.stop()
            reports = [line for out in outputs for line in out.splitlines() if line.startswith("load ")]
            self.assertEqual(len(reports), self.PROGRAMS, "every program made all its calls and reported")
            self.assertLess(went_on, ANSWER_TIMEOUT_S + 60, "the programs went on within the answer's bound")
            _, torn = packet_log_counts(program.read_bytes("NetLog.txt"))
            self.assertEqual(torn, 0, "the packet log holds whole records only")
            learnt = program.read_records("AllowedApps.txt", 4)
            self.assertTrue(learnt and all(len(entry) == 4 for entry in learnt), learnt)
            self.assertIn("LOADCLIENT.EXE", [entry[0] for entry in learnt])

            second = RunningPalisor(program, **learning)  # starts on the files the first one left
            try:
                self.assertEqual(program.read_records("NetRules.txt", 9), net_rules)
                self.assertEqual(program.read_records("ContentRules.txt", 2), content_rules)
                self.assertEqual(program.read_records("AllowedApps.txt", 4)[:len(learnt)], learnt)
                # Its rules decide: passes pass, the rule's and the content filter's drops are refused.
                report = parse_fields(tool("loadclient", 40, PASS_PORT, DROP_PORT, "--await-hook", 30000).stdout)
                self.assertEqual((report["hooked"], report["calls"], report["wrong"]), (1, 40, 0), report)
            finally:
                second.stop()



class GuardedProgramsEndInsideTheirCallsTest(unittest.TestCase):
    def test_palisor_stays_up_and_goes_on_deciding(self):
        with ProgramDir("fault-ended-programs") as program:
            program.write_records("NetRules.txt", [rule("*.*", DROP_PORT, "DROP"), PASS_EVERYTHING])
            program.write_records("ContentRules.txt", [["FORBIDDEN", "DROP"]])
            palisor = RunningPalisor(program, **{"Enable traffic logging": "yes", "Enable system profiling": "yes"})
            try:
                clients = [start_tool("loadclient", 100000, PASS_PORT, DROP_PORT, "--await-hook", 120000)
                           for _ in range(4)]
                self.assertTrue(wait_until(lambda: len(program.read_bytes("NetLog.txt") or b"") > 30000, 300),
                                "the programs' calls were not logged")
                # Ended abruptly, as by a crash, with calls of theirs being decided: Palisor reads
                # their payloads and writes their answers into processes that are gone.
                self.assertTrue(kill_programs("loadclient.exe"), "the programs did not end")
                for client in clients:
                    client.wait(timeout=60)
                self.assertTrue(palisor.palisor.running(), "Palisor.exe ended with the programs")
                report = parse_fields(tool("loadclient", 40, PASS_PORT, DROP_PORT, "--await-hook", 30000).stdout)
                self.assertEqual((report["hooked"], report["calls"], report["wrong"]), (1, 40, 0), report)
            finally:
                palisor.stop()


if __name__ == "__main__":
    unittest.main()
