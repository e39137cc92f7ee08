"""Who Palisor.exe believes, and whom its hook library asks: records forged by another program that
name a guarded program are ignored (nothing read from it, nothing written into it), and a window
of class "TForm1" captioned "Palisor" of another program is never asked. Ports 7301-7399."""
import subprocess
import unittest

import test_hook_palisor as palisor_tests
from harness import (TOOLS, WINE, ProgramDir, kill_programs, parse_fields, send_network_event, send_system_event,
                     session, tool)
from hook_fixtures import AWAIT_HOOK, WSAEACCES, LineReader, finish, lines_with, start_server

MARKER = b"MARKED-PAGE-TEXT"
CONNECT_PORT = 7301
SEND_PORT = 7302


class Interactive:
    """A test tool that reads commands from its input and answers each with one line."""

    def __init__(self, name, *args):
        self.process = subprocess.Popen([WINE, str(TOOLS / (name + ".exe"))] + [str(a) for a in args],
                                        env=session().env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, text=True, errors="replace")
        self.output = LineReader(self.process)

    def ask(self, command, answer_prefix, timeout=60):
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()
        return parse_fields(self.output.wait_for(answer_prefix, timeout=timeout))

    def end(self, command="quit"):
        if self.process.poll() is None:
            try:
                self.process.stdin.write(command + "\n")
                self.process.stdin.close()
            except OSError:
                pass
        lines = self.output.rest()
        try:
            self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
        return lines


def marked_page():
    """markedpage.exe guarded by the running Palisor; returns (tool, its 'page' fields)."""
    page = Interactive("markedpage", *AWAIT_HOOK, "--port", CONNECT_PORT)
    fields = parse_fields(page.output.wait_for("page", timeout=60))
    return page, fields


class ForgedRecordsTest(palisor_tests.RunningPalisorClass, unittest.TestCase):
    """Another program (the event sender) forges records naming a program Palisor placed into."""

    @classmethod
    def setUpClass(cls):
        cls.start_palisor("event-trust-forged", {
            "NetRules.txt": [palisor_tests.rule("MARKEDPAGE.EXE", "DROP", "CONNECT", CONNECT_PORT),
                             palisor_tests.PASS_EVERYTHING],
            "AllowedApps.txt": [palisor_tests.ALLOW_EVERYTHING],
        }, **{"Enable traffic logging": "yes"})

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        kill_programs("markedpage.exe")

    def test_forged_records_touch_nothing_and_the_programs_own_calls_are_still_decided(self):
        page, fields = marked_page()
        try:
            self.assertEqual(fields["hooked"], 1, "the program is guarded by Palisor")
            address, pid = fields["address"], fields["pid"]
            forged = [
                send_network_event(pid=pid, payload_address=address, payload_length=fields["length"],
                                   cells=address + 64),
                send_network_event(pid=pid, payload_address=address + 16, payload_length=256, cells=address + 600,
                                   proof=0x12345678),
                send_system_event(pid=pid, cells=address + 128),
            ]
            self.assertEqual([cells["result"] for cells in forged], [1, 1, 1], "no oracle: every result is 1")
            self.assertEqual(page.ask("check", "check")["changed"], 0, "nothing was written into the page")
            connect = page.ask("connect", "connect")
            self.assertEqual((connect["result"], connect["error"]), (-1, WSAEACCES),
                             "the program's own connect is decided by the DROP rule")
            self.assertEqual(page.ask("check", "check")["changed"], 0)
        finally:
            page.end()
        net_log = self.program.read_bytes("NetLog.txt") or b""
        self.assertIn(b"MARKEDPAGE.EXE", net_log.upper(), "the program's own connect is logged")
        self.assertNotIn(MARKER, net_log, "none of the page's bytes reached the packet log")
        ignored = [line for line in self.program.read_lines("SysLog.txt")
                   if "Ignored events naming process %d:" % pid in line]
        # One row a minute: the three records were sent within one minute, or across the turn of one.
        self.assertIn(len(ignored), (1, 2), ignored)


class ImpostorWindowTest(unittest.TestCase):
    """Windows of class "TForm1" captioned "Palisor" of another program, made before and after
    Palisor starts: the guarded programs keep asking the real Palisor."""

    def test_the_impostors_are_never_asked_and_their_end_withdraws_no_hook(self):
        with ProgramDir("event-trust-impostor") as program:
            program.write_records("NetRules.txt", [palisor_tests.rule("TCPCLIENT.EXE", "DROP", "SEND", SEND_PORT),
                                                   palisor_tests.rule("MARKEDPAGE.EXE", "DROP", "CONNECT",
                                                                      CONNECT_PORT),
                                                   palisor_tests.PASS_EVERYTHING])
            program.write_records("AllowedApps.txt", [palisor_tests.ALLOW_EVERYTHING])
            before = Interactive("impostor")
            before.output.wait_for("ready", timeout=60)
            palisor = palisor_tests.RunningPalisor(program)
            after = page = None
            try:
                page, fields = marked_page()
                self.assertEqual(fields["hooked"], 1)
                after = Interactive("impostor")
                after.output.wait_for("ready", timeout=60)
                self.assert_dropped(page)

                server, reader = start_server(SEND_PORT, "--timeout", 60000)
                client = tool("tcpclient", SEND_PORT, *AWAIT_HOOK, "--message", "dropped", "--repeat", 2)
                sends = lines_with(client.stdout.splitlines(), "send")
                self.assertEqual([(s["result"], s["error"], s["hooked"]) for s in sends], [(-1, WSAEACCES, 1)] * 2)
                self.assertIn("total bytes=0", finish(server, reader)[-1])

                for impostor in (before, after):
                    self.assertEqual(impostor.ask("count", "count")["received"], 0, "the impostor got no event")
                for impostor in (before, after):
                    destroyed = parse_fields([line for line in impostor.end("destroy") if line.startswith("destroyed")][0])
                    self.assertEqual(destroyed["received"], 0)
                self.assert_dropped(page)
            finally:
                for impostor in (before, after):
                    if impostor:
                        impostor.end("destroy")
                if page:
                    page.end()
                palisor.stop()
                kill_programs("impostor.exe", "markedpage.exe")

    def assert_dropped(self, page):
        connect = page.ask("connect", "connect")
        self.assertEqual((connect["result"], connect["error"]), (-1, WSAEACCES),
                         "the guarded program still asks the real Palisor, and its hooks are in place")


if __name__ == "__main__":
    unittest.main()
