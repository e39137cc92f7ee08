"""Runs every end-to-end test module (tests/e2e/test_*.py) and prints 'N passed, N failed'.

Each test class starts from a clean state: programs that the class before left running in the
prefix (Palisor, the test tools) are ended first, and named in the output. A failing test keeps
its evidence (a screenshot of the display, the files of the program directories that were in
use, the prefix's programs) in WORK/failures/<test id>/, and the last line names that folder."""
import shutil
import sys
import unittest
from pathlib import Path

here = Path(__file__).resolve().parent
sys.path.insert(0, str(here))

import harness  # noqa: E402  (after the path is set)


class EvidenceResult(unittest.TextTestResult):
    """A text result that counts successes and keeps the evidence of every failure."""

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.successes = 0
        self.kept = []

    def addSuccess(self, test):
        super().addSuccess(test)
        self.successes += 1

    def addError(self, test, err):
        super().addError(test, err)
        self._keep(test)

    def addFailure(self, test, err):
        super().addFailure(test, err)
        self._keep(test)

    def addSubTest(self, test, subtest, err):
        super().addSubTest(test, subtest, err)
        if err is not None:
            self._keep(subtest)

    def _keep(self, test):
        try:
            folder = harness.keep_evidence(test.id())
        except Exception as error:  # evidence is a help, never a second failure
            self.stream.writeln("  (evidence not kept: %s)" % error)
            return
        self.kept.append(folder)
        self.stream.writeln("  evidence kept in %s" % folder)


def test_classes(suite):
    """The tests of `suite` grouped by class, in order."""
    groups = []
    for test in _flatten(suite):
        if groups and type(test) is type(groups[-1][0]):
            groups[-1].append(test)
        else:
            groups.append([test])
    return groups


def _flatten(suite):
    for item in suite:
        if isinstance(item, unittest.TestSuite):
            yield from _flatten(item)
        else:
            yield item


def main():
    pattern = sys.argv[1] if len(sys.argv) > 1 else "test_*.py"
    suite = unittest.defaultTestLoader.discover(str(here), pattern=pattern, top_level_dir=str(here))
    stream = unittest.runner._WritelnDecorator(sys.stdout)
    result = EvidenceResult(stream, descriptions=True, verbosity=2)
    shutil.rmtree(harness.EVIDENCE, ignore_errors=True)  # only this run's failures
    harness.session()
    for tests in test_classes(suite):
        left = harness.end_leftovers()
        if left:
            stream.writeln("(ended programs left running before %s: %s)" % (type(tests[0]).__name__, ", ".join(left)))
        unittest.TestSuite(tests).run(result)  # a suite of its own: the class's fixtures end with it
        stream.flush()
    result.printErrors()
    failed = len(result.failures) + len(result.errors) + len(result.unexpectedSuccesses)
    if result.kept:
        print("e2e: evidence of the failures kept in %s" % harness.EVIDENCE)
    print("e2e: %d passed, %d failed, %d skipped" % (result.successes, failed, len(result.skipped)))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
