"""The process list of Palisor.exe's "System Guard" tab, driven from outside: a helper process
started by the test, its row, closing it, putting its executable on the allowed and forbidden
lists, the message for a process that has already ended, the shortcut keys and the update speed."""
import hashlib
import shutil
import subprocess
import unittest

from harness import TOOLS, WINE, Palisor, ProgramDir, session, start_tool, tool, wait_until, windows_path

HELPER = "pmhelper.exe"  # a copy of the sleeper tool under a name of its own
ERROR_INVALID_PARAMETER = 87  # what opening a process id that names no process fails with


def app_signature(data):
    """Size (at least two hex digits) and MD5 digest bytes 2 to 16 of the first 2048 bytes."""
    digest = hashlib.md5(data[:2048]).digest()
    return "-".join(["%02X" % (len(data) & 0xFFFFFFFF)] + ["%02X" % b for b in digest[1:]])


def system_message(code):
    """The system's text for an error code, without its line end."""
    return tool("wintool", "message", code).stdout.strip()


def pids(name):
    return [int(pid) for pid in tool("wintool", "pids", name).stdout.split()]


class Helper:
    """The helper executable in the program directory, running until it is ended."""

    def __init__(self, program):
        self.file = program.file(HELPER)
        if not self.file.exists():
            shutil.copy2(TOOLS / "sleeper.exe", self.file)
        self.path = windows_path(self.file)
        before = set(pids(HELPER))
        self.process = subprocess.Popen([WINE, str(self.file), "300"], env=session().env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        started = []
        if not wait_until(lambda: started.extend(set(pids(HELPER)) - before) or started, timeout=60):
            raise AssertionError("the helper process did not start")
        self.pid = started[0]

    def ended_within(self, seconds):
        try:
            self.process.wait(timeout=seconds)
            return True
        except subprocess.TimeoutExpired:
            return False

    def end(self):
        tool("wintool", "kill", HELPER)
        if not self.ended_within(15):
            self.process.kill()
        wait_until(lambda: self.pid not in pids(HELPER), timeout=60)


def refresh():
    tool("guicontrol", "command", "SystemGuard", "Refresh1")


def grid_rows():
    return [line.split("|") for line in tool("guicontrol", "rows", "Grid").stdout.splitlines()]


def row_index(pid):
    for index, row in enumerate(grid_rows()):
        if len(row) == 3 and row[1] == str(pid):
            return index
    return None


def select(pid):
    index = row_index(pid)
    if index is None:
        raise AssertionError("no row for process %d: %s" % (pid, grid_rows()))
    tool("guicontrol", "select-row", "Grid", index)


class ProcessMonitorTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.program = ProgramDir("procmon")
        cls.palisor = Palisor(cls.program)

    @classmethod
    def tearDownClass(cls):
        cls.palisor.stop()
        cls.program.__exit__()

    def setUp(self):
        self.helper = Helper(self.program)

    def tearDown(self):
        self.helper.end()

    def test_a_started_process_shows_its_name_id_and_full_path(self):
        refresh()
        self.assertIn([HELPER, str(self.helper.pid), self.helper.path], grid_rows())

    def test_close_process_ends_it_and_the_list_no_longer_shows_it(self):
        refresh()
        select(self.helper.pid)
        tool("guicontrol", "command", "SystemGuard", "Closeprocess1")
        self.assertTrue(self.helper.ended_within(10))
        self.assertIsNone(row_index(self.helper.pid), "the list is refreshed after closing")

    def test_allow_twice_adds_one_entry_with_the_signature_of_the_file(self):
        refresh()
        select(self.helper.pid)
        tool("guicontrol", "command", "SystemGuard", "Allowthisprocess1")
        tool("guicontrol", "command", "SystemGuard", "Allowthisprocess1")
        tool("guicontrol", "command", "SystemGuard", "Denythisprocess1")
        entry = [HELPER.upper(), "*.*", app_signature(self.helper.file.read_bytes()), "ANY"]
        self.assertEqual(self.program.read_records("AllowedApps.txt", 4), [entry])
        self.assertEqual(self.program.read_records("ForbiddenApps.txt", 4), [entry])

    def test_closing_a_process_that_has_ended_shows_the_systems_message(self):
        refresh()
        select(self.helper.pid)
        self.helper.end()
        clicker = start_tool("promptclicker", "#32770", "Palisor", 20000, "OK")
        tool("guicontrol", "command", "SystemGuard", "Closeprocess1")
        out, _ = clicker.communicate(timeout=40)
        self.assertEqual(clicker.returncode, 0, out)
        self.assertIn("text: " + system_message(ERROR_INVALID_PARAMETER), out.splitlines())
        self.assertNotIn([HELPER, str(self.helper.pid), self.helper.path], grid_rows())

    def test_shortcut_keys_work_in_the_grid_and_ctrl_c_elsewhere_ends_nothing(self):
        tool("uidriver", "tab", "TForm1", "Palisor", 1)  # "System Guard"
        self.assertEqual(tool("guicontrol", "shortcut", "Grid", "P").returncode, 0)
        self.assertTrue(wait_until(lambda: row_index(self.helper.pid) is not None, timeout=30), "Ctrl+P refreshes")
        select(self.helper.pid)
        self.assertEqual(tool("guicontrol", "shortcut", "lbAllowedApps", "C").returncode, 0)
        self.assertFalse(self.helper.ended_within(1), "Ctrl+C in the allowed list")
        self.assertEqual(tool("guicontrol", "shortcut", "Grid", "C").returncode, 0)
        self.assertTrue(self.helper.ended_within(10), "Ctrl+C in the grid")

    def test_update_speed_takes_2000_and_ignores_abc(self):
        def answer(text=None):
            answerer = start_tool("guicontrol", "answer-input", 20000, *([text] if text is not None else []))
            tool("guicontrol", "command", "SystemGuard", "Processlistupdatespeed1")
            out, _ = answerer.communicate(timeout=40)
            self.assertEqual(answerer.returncode, 0, out)
            return out.splitlines()

        shown = answer("2000")
        self.assertEqual(shown, ["caption: Palisor", "prompt: Process list update speed [ms]", "value: 10000"])
        self.assertEqual(answer("abc")[2], "value: 2000")
        self.assertEqual(answer()[2], "value: 2000", "abc left the interval unchanged")


if __name__ == "__main__":
    unittest.main()
