"""The application shell of Palisor.exe seen from outside: the network prompt answered by another
program, one copy only, the confirmation on close, and the first-start splash."""
import subprocess
import time
import unittest

from harness import (WINE, SPLASH_KEY, Palisor, ProgramDir, send_network_event, session, start_tool, tool, wine,
                     write_registry)


def splash_flag():
    """The data of "First time" under the splash key (a value name with a blank), or None."""
    for line in wine(["reg", "query", SPLASH_KEY, "/v", "First time"]).stdout.splitlines():
        name, _, rest = line.strip().partition("    ")
        if name == "First time":
            return rest.split(None, 1)[1] if len(rest.split(None, 1)) == 2 else ""
    return None


# System calls of programs that still carry the hook library from earlier tests pass without a
# SYSTEM GUARD prompt that nobody would answer.
ALLOW_EVERYTHING = ["*.*", "*.*", "NOT SIGNED", "ANY"]


def shell_program(name):
    program = ProgramDir(name)
    program.write_records("AllowedApps.txt", [ALLOW_EVERYTHING])
    return program


def wait_until_no_palisor(timeout=20):
    """A copy killed by the previous test may still be on its way out; a new copy that counts it
    would end at once."""
    deadline = time.monotonic() + timeout
    while tool("wintool", "pids", "Palisor.exe").returncode == 0 and time.monotonic() < deadline:
        time.sleep(0.2)


def answer(window_class, title, *captions, timeout_ms=60000):
    """Starts promptclicker in the background; returns the Popen."""
    return start_tool("promptclicker", window_class, title, timeout_ms, *captions)


def finish(clicker, timeout=90):
    out, _ = clicker.communicate(timeout=timeout)
    return clicker.returncode, out


class NetworkPromptTest(unittest.TestCase):
    """An undecided network event opens NETWORK GUARD; the answer becomes a rule."""

    def setUp(self):
        wait_until_no_palisor()

    def test_pass_with_save_choice_adds_the_rule_to_netrules(self):
        with shell_program("shell-prompt") as program:
            with Palisor(program):
                clicker = answer("TForm2", "NETWORK GUARD", "Save this choice for", "PASS")
                cells = send_network_event(payload="GET / HTTP/1.0", app="C:\\APPS\\WEB.EXE", op=1,
                                           remote="1.2.3.4:80")
                code, out = finish(clicker)
                self.assertEqual(code, 0, "%s %s" % (out, cells))
                self.assertIn("text: Application: WEB.EXE", out)
                self.assertIn("text: Path: C:\\APPS\\", out)
                self.assertIn("text: Destination IP: 1.2.3.4", out)
                self.assertIn("text: Packet size: 14", out)
                self.assertEqual((cells["verdict"], cells["answer"]), (1, 0))
                self.assertEqual(program.read_records("NetRules.txt", 9),
                                 [["WEB.EXE", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "0"]])
                # The saved rule now decides the same event without asking.
                again = send_network_event(payload="GET / HTTP/1.0", app="C:\\APPS\\WEB.EXE", op=1,
                                           remote="1.2.3.4:80", timeout=10000)
                self.assertEqual((again["verdict"], again["answer"]), (1, 0))

    def test_drop_without_saving_adds_no_rule(self):
        with shell_program("shell-drop") as program:
            with Palisor(program):
                clicker = answer("TForm2", "NETWORK GUARD", "DROP")
                cells = send_network_event(payload="data", app="C:\\APPS\\MAIL.EXE")
                code, out = finish(clicker)
                self.assertEqual(code, 0, "%s %s" % (out, cells))
                self.assertEqual((cells["verdict"], cells["answer"]), (0, 0))
                self.assertEqual(program.read_bytes("NetRules.txt"), b"")


class InstanceAndClosingTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        wait_until_no_palisor()
        cls.program = shell_program("shell-close")
        cls.palisor = Palisor(cls.program)

    @classmethod
    def tearDownClass(cls):
        cls.palisor.stop()
        cls.program.__exit__()

    def test_a_second_copy_ends_at_once(self):
        started = time.monotonic()
        second = subprocess.run([WINE, str(self.program.exe)], env=session().env, cwd=str(self.program.path),
                                capture_output=True, timeout=60)
        self.assertEqual(second.returncode, 0)
        self.assertLess(time.monotonic() - started, 30)
        pids = tool("wintool", "pids", "Palisor.exe").stdout.split()
        self.assertEqual(len(pids), 1, pids)

    def test_closing_asks_and_no_keeps_it_running(self):
        clicker = answer("#32770", "Palisor", "&No")
        tool("wintool", "close-window", "TForm1", "Palisor")
        code, out = finish(clicker)
        self.assertEqual(code, 0, out)
        self.assertIn("text: Are you sure you want to terminate Palisor?", out)
        time.sleep(0.5)
        self.assertTrue(self.palisor.running())


class ClosingWithYesTest(unittest.TestCase):
    def test_yes_ends_the_program(self):
        wait_until_no_palisor()
        with shell_program("shell-yes") as program:
            palisor = Palisor(program)
            try:
                clicker = answer("#32770", "Palisor", "&Yes")
                tool("wintool", "close-window", "TForm1", "Palisor")
                code, out = finish(clicker)
                self.assertEqual(code, 0, out)
                palisor.process.wait(timeout=30)
                self.assertFalse(palisor.running())
            finally:
                palisor.stop()


class FirstStartSplashTest(unittest.TestCase):
    def test_first_start_shows_the_introduction_and_marks_the_flag(self):
        wait_until_no_palisor()
        with shell_program("shell-splash") as program:
            write_registry({}, delete_keys=[SPLASH_KEY])
            clicker = answer("TSplashscreen", "-", "Click Here to Continue")
            palisor = Palisor(program, splash_seen=False, wait=False)
            try:
                code, out = finish(clicker)
                self.assertEqual(code, 0, out)
                self.assertIn("This is the first time Palisor has been started.", out)
                palisor.wait_for_window()
                self.assertEqual(splash_flag(), "no")
            finally:
                palisor.stop()


if __name__ == "__main__":
    unittest.main()
