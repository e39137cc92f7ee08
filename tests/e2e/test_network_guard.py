"""The network guard of Palisor.exe decided by store files written before its start: traffic rules,
content rules, the system log line of a content match and the packet log record."""
import re
import unittest

from harness import DEFAULT_SETTINGS, Palisor, ProgramDir, send_network_event

WEB_PASS_LIMITED = ["C:\\Apps\\web.exe", "TCP", "0.0.0.0", "0", "0.0.0.0", "80", "PASS", "ANY", "64"]
BAD_DROP = ["bad.exe", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "DROP", "ANY", "0"]
LOGGED_PASS = ["LOGGED.EXE", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "0"]

START, END = b"-= START OF PACKET =-\r\n", b"-= END OF PACKET =-\r\n"


def packet_records(data):
    """The packet log's records, each from its start line to its end line inclusive."""
    return [START + part[:part.index(END) + len(END)] for part in (data or b"").split(START)[1:] if END in part]


class NetworkGuardTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.program = ProgramDir("network-guard")
        cls.program.write_records("NetRules.txt", [WEB_PASS_LIMITED, BAD_DROP, LOGGED_PASS])
        cls.program.write_records("ContentRules.txt", [["EVIL", "DROP"], ["SAFE WORD", "PASS"]])
        settings = dict(DEFAULT_SETTINGS)
        settings["Enable traffic logging"] = "yes"
        cls.palisor = Palisor(cls.program, settings=settings)

    @classmethod
    def tearDownClass(cls):
        cls.palisor.stop()
        cls.program.__exit__()

    def send(self, app, payload, **options):
        # Every event here is decided by a rule: a prompt would hold it for a minute.
        cells = send_network_event(app=app, payload=payload, timeout=20000, **options)
        self.assertEqual((cells["result"], cells["answer"]), (1, 0), cells)
        return cells

    def test_pass_rule_passes_with_its_bandwidth(self):
        cells = self.send("C:\\APPS\\WEB.EXE", "GET / HTTP/1.0", remote="93.184.216.34:80")
        self.assertEqual((cells["verdict"], cells["speed"]), (1, 64))

    def test_drop_rule_matches_the_file_name_in_any_directory(self):
        for app in ("C:\\APPS\\BAD.EXE", "D:\\Other\\bad.exe"):
            with self.subTest(app=app):
                cells = self.send(app, "hello")
                self.assertEqual((cells["verdict"], cells["speed"]), (0, 0))

    def test_content_rule_drops_its_pattern_in_another_letter_case_and_logs(self):
        cells = self.send("C:\\APPS\\WEB.EXE", "this is eViL stuff", remote="93.184.216.34:80")
        self.assertEqual((cells["verdict"], cells["speed"]), (0, 64))
        line = "Content filter match found EVIL and applied rule: DROP"
        lines = [l for l in self.program.read_lines("SysLog.txt") if l.endswith(" : " + line)]
        self.assertTrue(lines, self.program.read_lines("SysLog.txt"))
        self.assertRegex(lines[-1], r"^\d\d/\d\d/\d{4}( \S.*)? : " + re.escape(line) + "$")

    def test_content_pass_overrides_a_drop_rule(self):
        cells = self.send("C:\\APPS\\BAD.EXE", "the safe word is here")
        self.assertEqual(cells["verdict"], 1)

    def test_packet_log_record_is_byte_exact(self):
        # The length takes the string's terminating NUL too: it is written as ".".
        cells = self.send("C:\\Apps\\Logged.exe", "PING\tpong", local="10.1.2.3:1025", remote="10.9.8.7:7",
                          op=3, payload_length=10)
        self.assertEqual(cells["verdict"], 1)
        records = [r for r in packet_records(self.program.read_bytes("NetLog.txt")) if b"LOGGED.EXE" in r]
        self.assertEqual(len(records), 1, records)
        lines = records[0].split(b"\r\n")
        self.assertRegex(lines[1].decode("latin-1"), r"^Date and Time: \d\d/\d\d/\d{4}( \S.*)?$")
        self.assertRegex(lines[2].decode("latin-1"), r"^ProcessID: \d+$")
        expected = (b"Application: C:\\APPS\\LOGGED.EXE\r\n"
                    b"Protocol: UDP\r\n"
                    b"Local IP: 10.1.2.3\r\n"
                    b"Local Port: 1025\r\n"
                    b"Remote IP: 10.9.8.7\r\n"
                    b"Remote Port: 7\r\n"
                    b"Function: SENDTO\r\n"
                    b"Action taken: PASS\r\n"
                    b"Payload length: 10\r\n"
                    b"Payload: \r\n"
                    b"PING\tpong.\r\n"
                    b"-= END OF PACKET =-\r\n")
        self.assertEqual(b"\r\n".join(lines[3:]), expected)
        self.assertEqual(b"\r\n".join(lines[:3]) + b"\r\n" + expected, records[0])


class FilesAfterRestartTest(unittest.TestCase):
    def test_lists_written_by_one_run_are_loaded_by_the_next(self):
        with ProgramDir("network-guard-restart") as program:
            program.write_records("NetRules.txt", [LOGGED_PASS])
            with Palisor(program):
                self.assertEqual(send_network_event(app="C:\\LOGGED.EXE", payload="x")["verdict"], 1)
            rules = program.read_records("NetRules.txt", 9)
            self.assertEqual(rules, [LOGGED_PASS])
            program.write_records("NetRules.txt", rules + [["*.*", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "DROP",
                                                            "ANY", "0"]])
            with Palisor(program):
                self.assertEqual(send_network_event(app="C:\\OTHER.EXE", payload="x", timeout=20000)["verdict"], 0)
            self.assertTrue(program.read_bytes("SysLog.txt") is not None)


if __name__ == "__main__":
    unittest.main()
