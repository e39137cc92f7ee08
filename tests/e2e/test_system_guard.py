"""The system guard of Palisor.exe: learning mode, the application lists, signatures, and the
settings key read at start-up."""
import hashlib
import unittest

from harness import (CONFIG_KEY, DEFAULT_SETTINGS, Palisor, ProgramDir, read_registry_value, send_system_event,
                     windows_path)

TARGET = "C:\\DATA\\FILE.TXT"
OPEN_FILE = 3


def app_signature(data):
    """Size (at least two hex digits) and MD5 digest bytes 2 to 16 of the first 2048 bytes."""
    digest = hashlib.md5(data[:2048]).digest()
    return "-".join(["%02X" % (len(data) & 0xFFFFFFFF)] + ["%02X" % b for b in digest[1:]])


def settings(**changes):
    values = dict(DEFAULT_SETTINGS)
    values.update({name.replace("_", " "): value for name, value in changes.items()})
    return values


class GuardedApplication:
    """An executable file in the program directory and the upper-case path its events carry."""

    def __init__(self, program, name="GUARDED.EXE", size=3000):
        self.data = bytes((i * 37 + 11) % 256 for i in range(size))
        program.file(name).write_bytes(self.data)
        self.name = name
        self.path = windows_path(program.file(name)).upper()
        self.signature = app_signature(self.data)


def log_messages(program):
    """The messages of "SysLog.txt" without their time stamps."""
    return [line.split(" : ", 1)[1] for line in program.read_lines("SysLog.txt") if " : " in line]


class LearningModeTest(unittest.TestCase):
    def test_repeated_events_add_the_application_once(self):
        with ProgramDir("sysguard-learning") as program:
            app = GuardedApplication(program)
            program.write_records("ForbiddenApps.txt", [[app.name, "*.*", "NOT SIGNED", "ANY"]])
            with Palisor(program, settings=settings(Enable_system_profiling="yes")):
                for op in (OPEN_FILE, OPEN_FILE, 1):
                    cells = send_system_event(app=app.path, op=op, target=TARGET)
                    self.assertEqual((cells["verdict"], cells["answer"]), (1, 0), "learning mode passes everything")
            self.assertEqual(program.read_records("AllowedApps.txt", 4), [[app.name, "*.*", app.signature, "ANY"]])


class ApplicationListsTest(unittest.TestCase):
    """One start: a forbidden, an allowed and a re-signed application, each with its own entries."""

    @classmethod
    def setUpClass(cls):
        cls.program = ProgramDir("sysguard-lists")
        cls.forbidden = GuardedApplication(cls.program, "FORBIDDEN.EXE")
        cls.allowed = GuardedApplication(cls.program, "ALLOWED.EXE", size=5000)
        cls.changed = GuardedApplication(cls.program, "CHANGED.EXE", size=70000)
        cls.old_signature = app_signature(cls.changed.data[:-1])
        cls.program.write_records("ForbiddenApps.txt", [[cls.forbidden.name, "*.*", "NOT SIGNED", "ANY"]])
        # The second CHANGED.EXE entry passes its events, so that no prompt is needed; the first one warns.
        cls.program.write_records("AllowedApps.txt", [[cls.allowed.name, "*.*", cls.allowed.signature, "ANY"],
                                                      [cls.changed.name, "*.*", cls.old_signature, "ANY"],
                                                      [cls.changed.name, "*.*", "NOT SIGNED", "ANY"]])
        cls.palisor = Palisor(cls.program, settings=settings(Logging_level="1"))

    @classmethod
    def tearDownClass(cls):
        cls.palisor.stop()
        cls.program.__exit__()

    def test_forbidden_entry_drops_and_is_logged(self):
        cells = send_system_event(app=self.forbidden.path, op=OPEN_FILE, target=TARGET)
        self.assertEqual((cells["verdict"], cells["answer"]), (0, 0))
        self.assertIn(self.forbidden.path + " was NOT allowed to open file " + TARGET, log_messages(self.program))

    def test_allowed_entry_with_signature_passes_without_a_line_at_drop_only(self):
        cells = send_system_event(app=self.allowed.path, op=OPEN_FILE, target=TARGET)
        self.assertEqual((cells["verdict"], cells["answer"]), (1, 0))
        self.assertEqual([m for m in log_messages(self.program) if self.allowed.path in m], [])

    def test_changed_signature_writes_the_two_warning_lines(self):
        cells = send_system_event(app=self.changed.path, op=OPEN_FILE, target=TARGET)
        self.assertEqual((cells["verdict"], cells["answer"]), (1, 0))
        messages = log_messages(self.program)
        warning = "%s (%s) has a different signature than %s (%s)" % (self.changed.path, self.changed.signature,
                                                                        self.changed.name, self.old_signature)
        self.assertIn(warning, messages)
        self.assertEqual(messages[messages.index(warning) + 1],
                         self.changed.path + " could be infected with a VIRUS!!!")


def wait_for_start_up():
    """An event is answered only by the message loop, which runs once the start-up has ended."""
    send_system_event(op=OPEN_FILE, target=TARGET)


class SettingsAtStartUpTest(unittest.TestCase):
    def test_missing_values_are_written_back_at_start_up(self):
        with ProgramDir("sysguard-writeback") as program:
            with Palisor(program, settings={"Autostart": "no", "Logging level": "7"}):
                wait_for_start_up()
            self.assertEqual(read_registry_value(CONFIG_KEY, "Start minimized"), "no")
            self.assertEqual(read_registry_value(CONFIG_KEY, "Log app events"), "no")
            self.assertEqual(read_registry_value(CONFIG_KEY, "Logging level"), "1")

    def test_value_that_is_not_a_string_stops_the_start_up(self):
        with ProgramDir("sysguard-badtype") as program:
            with Palisor(program, settings={"Autostart": 1, "Start minimized": "no"}) as palisor:
                wait_for_start_up()
                self.assertTrue(palisor.running(), "the window stays and runs")
            for name in ("Enable traffic logging", "Enable system guard", "Logging level"):
                self.assertIsNone(read_registry_value(CONFIG_KEY, name), "no write-back of " + name)
            self.assertFalse(any("Invalid data type" in line for line in program.read_lines("SysLog.txt")),
                             "the error is a row of the list only")


if __name__ == "__main__":
    unittest.main()
