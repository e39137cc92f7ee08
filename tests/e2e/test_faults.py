"""Palisor.exe killed at a bad moment: while it rewrites a large rule list. The next Palisor loads
the list whole: the old one or the new one, never a torn file."""
import unittest

from harness import DEFAULT_SETTINGS, Palisor, ProgramDir, start_tool, tool, wait_until


def rule(app, port):
    return [app, "ANY", "0.0.0.0", "0", "0.0.0.0", str(port), "PASS", "ANY", "0"]


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


if __name__ == "__main__":
    unittest.main()
