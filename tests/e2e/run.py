"""Runs every end-to-end test module (tests/e2e/test_*.py) and prints 'N passed, N failed'."""
import sys
import unittest
from pathlib import Path


def main():
    here = Path(__file__).resolve().parent
    sys.path.insert(0, str(here))
    pattern = sys.argv[1] if len(sys.argv) > 1 else "test_*.py"
    suite = unittest.defaultTestLoader.discover(str(here), pattern=pattern, top_level_dir=str(here))
    result = unittest.TextTestRunner(verbosity=2, stream=sys.stdout).run(suite)
    failed = len(result.failures) + len(result.errors) + len(result.unexpectedSuccesses)
    passed = result.testsRun - failed - len(result.skipped)
    print("e2e: %d passed, %d failed, %d skipped" % (passed, failed, len(result.skipped)))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
