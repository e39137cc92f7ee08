"""The harness's own promise to a failing test: a program that outlives its time is killed, and
what every thread of the prefix was doing then is kept for the failure's evidence."""
import subprocess
import unittest

import harness
from harness import tool, windows_processes


class OutlivedTimeTest(unittest.TestCase):
    def test_a_program_that_outlives_its_time_is_killed_and_its_backtraces_kept(self):
        harness._hangs.clear()
        with self.assertRaises(subprocess.TimeoutExpired):
            tool("sleeper", "600", timeout=3)
        self.assertNotIn("SLEEPER.EXE", [name for _, name in windows_processes()])
        kept = "".join(harness._hangs)
        harness._hangs.clear()
        self.assertIn("==== SLEEPER.EXE outlived its time", kept)
        self.assertRegex(kept, r"Backtracing for thread \w+ in process \w+ \(.*sleeper\.exe\)")
        self.assertIn("Sleep", kept, "the sleeper's own thread was waiting in Sleep")


if __name__ == "__main__":
    unittest.main()
