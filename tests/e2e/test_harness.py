"""The harness's own promise to a failing test: a program that outlives its time is killed, and
what every thread of the prefix was doing then is kept for the failure's evidence, with the last
programs run and what they printed."""
import re
import subprocess
import tempfile
import unittest
from pathlib import Path
from unittest import mock

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


class EvidenceTest(unittest.TestCase):
    def test_the_evidence_holds_the_last_runs_with_their_output_and_how_they_ended(self):
        tool("syscalls", "getattr", "Z:\\no-such-file")
        with self.assertRaises(subprocess.TimeoutExpired):
            harness.wine([harness.TOOLS / "sleeper.exe", "600"], timeout=3, note_hangs=False)
        with tempfile.TemporaryDirectory() as evidence, mock.patch.object(harness, "EVIDENCE", Path(evidence)):
            runs = (harness.keep_evidence("test_harness.EvidenceTest.probe") / "runs.txt").read_text()
        finished = re.search(r"syscalls\.exe getattr Z:\\no-such-file\n  started \d\d:\d\d:\d\d UTC, exit code 0, "
                             r"took \d+\.\d s\n", runs)
        self.assertTrue(finished, runs)
        self.assertIn("  stdout: getattr i=0 result=0 error=2 hooked=0 last=2\n", runs[finished.start():])
        self.assertRegex(runs[finished.start():],
                         r"sleeper\.exe 600\n  started .* UTC, killed after 3 s, took [3-9]\.\d s\n")


if __name__ == "__main__":
    unittest.main()
