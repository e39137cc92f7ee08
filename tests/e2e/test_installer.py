"""PalisorSetup.exe under Wine: a silent installation, an upgrade over a running Palisor whose
firewall guards a program, removal keeping or removing the user's data, and the repair of a
damaged installation. Every test runs in a fresh Wine prefix: a copy of one booted once for the
module (a boot costs far more than a copy). The timings of installation and removal are printed."""
import shutil
import subprocess
import time
import unittest
from pathlib import Path

from harness import (ARCH, BIN, BUILD, TOOLS, WINE, WORK, DEFAULT_SETTINGS, encode_records, read_registry_value,
                     session, tool, wait_until, wine, write_registry)

SETUP = BUILD / "PalisorSetup.exe"
PRISTINE = WORK / "installer-pristine"
UNINSTALL_KEY = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\Palisor"
RUN_KEY = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run"
SETTINGS_KEY = r"HKEY_LOCAL_MACHINE\SOFTWARE\Palisor"
# The placing helpers and the other width's library ship where the build made them.
PROGRAM_FILES = ["Palisor.exe", "PalisorDLL.dll", "FWDLL.dll", "help.chm"] + [
    name for name in ("PalisorDLL64.dll", "PalisorHelper32.exe", "PalisorHelper64.exe") if (BIN / name).exists()]
DATA_FILES = ["NetRules.txt", "AdvNetRules.txt", "ContentRules.txt", "AllowedApps.txt", "ForbiddenApps.txt",
              "SysLog.txt", "NetLog.txt"]
ALLOW_EVERYTHING = ["*.*", "*.*", "NOT SIGNED", "ANY"]
WAIT = 120  # seconds, for a loaded machine


def project_version():
    text = (Path(__file__).resolve().parents[2] / "CMakeLists.txt").read_text()
    return text.split("project(Palisor VERSION ", 1)[1].split()[0]


def boot_pristine_prefix():
    """The prefix every test copies, booted once and left with its wine server ended."""
    if (PRISTINE / "system.reg").exists():
        return
    shutil.rmtree(PRISTINE, ignore_errors=True)
    env = dict(session().env, WINEPREFIX=str(PRISTINE))
    quiet = dict(env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run([WINE, "wineboot", "-i"], timeout=600, **quiet)
    subprocess.run(["wineserver", "-k"], timeout=120, **quiet)


class FreshPrefix:
    """A copy of the pristine prefix with a wine server of its own, removed (with every program
    in it) by close()."""

    count = 0

    def __init__(self):
        FreshPrefix.count += 1
        self.path = WORK / ("installer-prefix-%d" % FreshPrefix.count)
        shutil.rmtree(self.path, ignore_errors=True)
        subprocess.run(["cp", "-a", str(PRISTINE), str(self.path)], check=True, timeout=600)
        self.env = dict(session().env, WINEPREFIX=str(self.path))
        self.drive_c = self.path / "drive_c"
        folder = "Program Files (x86)" if ARCH == "i686" and (self.drive_c / "Program Files (x86)").exists() \
            else "Program Files"
        self.program_files = self.drive_c / folder
        self.install_dir = self.program_files / "Palisor"
        self.windows_install_dir = "C:\\%s\\Palisor" % folder
        self.start_menu = self.drive_c / "ProgramData/Microsoft/Windows/Start Menu/Programs"
        self.desktop = self.drive_c / "users/Public/Desktop"

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=120)
        shutil.rmtree(self.path, ignore_errors=True)

    def run(self, args, timeout=WAIT):
        return wine(args, timeout=timeout, env=self.env)

    def settle(self):
        """Waits until every program of the prefix has ended (an uninstaller runs on as a copy of
        itself after the one started has returned)."""
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=WAIT)

    def install(self, *switches):
        """Runs the installer silently; returns its exit code and the seconds it took."""
        started = time.monotonic()
        result = self.run([SETUP, "/S"] + list(switches))
        return result.returncode, time.monotonic() - started

    def uninstall(self, *switches):
        """Runs the registered quiet uninstaller to its end; returns the seconds it took."""
        started = time.monotonic()
        self.run([self.windows_install_dir + "\\Uninstall.exe", "/S"] + list(switches))
        self.settle()
        return time.monotonic() - started

    def query(self, key, name):
        return read_registry_value(key, name, env=self.env)

    def export(self, key):
        """The text of `reg export` of a key, or "" when it is missing."""
        target = WORK / ("export-%d.reg" % FreshPrefix.count)
        target.unlink(missing_ok=True)
        self.run(["reg", "export", key, "Z:" + str(target).replace("/", "\\"), "/y"])
        if not target.exists():
            return ""
        text = target.read_bytes().decode("utf-16", errors="replace")
        target.unlink()
        return text

    def listing(self):
        """Every file and folder under the program files, the Start menu and the public desktop."""
        found = set()
        for root in (self.program_files, self.start_menu, self.desktop):
            found |= {str(path.relative_to(self.drive_c)) for path in root.rglob("*")}
        return found

    def start_palisor(self, settings):
        write_registry({SETTINGS_KEY + "\\Config": settings, SETTINGS_KEY + "\\Splash": {"First time": "no"}},
                       env=self.env)
        process = subprocess.Popen([WINE, self.windows_install_dir + "\\Palisor.exe"], env=self.env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        waited = tool("wintool", "wait-window", "TForm1", "Palisor", 60000, "TSplashscreen", timeout=WAIT, env=self.env)
        if waited.returncode != 0:
            raise AssertionError("Palisor's main window did not appear")
        return process

    def registry_snapshot(self):
        """HKLM\\Software as {key: its value lines}."""
        keys, current = {}, None
        for line in self.export(r"HKEY_LOCAL_MACHINE\Software").splitlines():
            if line.startswith("["):
                current = keys.setdefault(line.strip("[]").upper(), set())
            elif line.strip() and current is not None:
                current.add(line)
        return keys


def changed_keys(before, after):
    return {key for key in before.keys() | after.keys() if before.get(key) != after.get(key)}


def setUpModule():
    if not SETUP.exists():
        raise unittest.SkipTest("no installer in %s (makensis missing at build time)" % SETUP)
    boot_pristine_prefix()


class InstallerTest(unittest.TestCase):
    def setUp(self):
        self.prefix = FreshPrefix()

    def tearDown(self):
        self.prefix.close()

    def installed(self, name):
        return self.prefix.install_dir / name

    def assert_program_files_as_built(self):
        for name in PROGRAM_FILES:
            self.assertEqual(self.installed(name).read_bytes(), (BIN / name).read_bytes(), name)

    def test_silent_install_puts_files_shortcuts_and_uninstall_entry_in_place(self):
        code, seconds = self.prefix.install("/DESKTOP=1", "/LOGON=1")
        print("\n  silent install: %.1f s, installer %d bytes" % (seconds, SETUP.stat().st_size))
        self.assertEqual(code, 0)
        self.assert_program_files_as_built()
        self.assertTrue(self.installed("Uninstall.exe").exists())
        self.assertTrue((self.prefix.start_menu / "Palisor/Palisor.lnk").exists())
        self.assertTrue((self.prefix.desktop / "Palisor.lnk").exists())
        directory = self.prefix.windows_install_dir
        expected = {
            "DisplayName": "Palisor",
            "DisplayVersion": project_version(),
            "Publisher": "Palisor Software",
            "DisplayIcon": directory + "\\Palisor.exe,0",
            "UninstallString": '"%s\\Uninstall.exe"' % directory,
            "QuietUninstallString": '"%s\\Uninstall.exe" /S' % directory,
        }
        for name, value in expected.items():
            self.assertEqual(self.prefix.query(UNINSTALL_KEY, name), value, name)
        size_kb = int(self.prefix.query(UNINSTALL_KEY, "EstimatedSize"), 16)
        built_kb = sum((BIN / name).stat().st_size for name in PROGRAM_FILES) // 1024
        self.assertTrue(built_kb <= size_kb <= built_kb + 1024, (size_kb, built_kb))
        self.assertEqual(self.prefix.query(RUN_KEY, "Palisor"), '"%s\\Palisor.exe"' % directory)
        # Palisor runs from the installed folder and keeps its files there.
        self.prefix.start_palisor(DEFAULT_SETTINGS)
        for name in DATA_FILES:
            self.assertTrue(wait_until(lambda: self.installed(name).exists(), WAIT), name)

    def test_options_left_out_and_another_folder(self):
        code, _ = self.prefix.install("/DESKTOP=0", "/LOGON=0", r"/D=C:\Apps\PalisorFW")
        self.assertEqual(code, 0)
        folder = self.prefix.drive_c / "Apps/PalisorFW"
        for name in PROGRAM_FILES:
            self.assertEqual((folder / name).read_bytes(), (BIN / name).read_bytes(), name)
        self.assertFalse(self.prefix.install_dir.exists())
        self.assertEqual(self.prefix.query(UNINSTALL_KEY, "UninstallString"),
                         r'"C:\Apps\PalisorFW\Uninstall.exe"')
        self.assertFalse((self.prefix.desktop / "Palisor.lnk").exists())
        self.assertIsNone(self.prefix.query(RUN_KEY, "Palisor"))
        self.assertTrue((self.prefix.start_menu / "Palisor/Palisor.lnk").exists())

    def test_upgrade_ends_the_running_firewall_and_keeps_rules_logs_and_settings(self):
        self.assertEqual(self.prefix.install("/DESKTOP=0")[0], 0)
        self.installed("AllowedApps.txt").write_bytes(encode_records([ALLOW_EVERYTHING]))
        guarded = subprocess.Popen([WINE, str(TOOLS / "sleeper.exe"), "600"], env=self.prefix.env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            wait_until(lambda: tool("wintool", "pids", "sleeper.exe", env=self.prefix.env).returncode == 0, WAIT)
            # The system guard logs none of the guarded program's calls, so the files stay as they
            # are once the firewall has started.
            self.prefix.start_palisor(dict(DEFAULT_SETTINGS, Autostart="yes", **{"Log app events": "no"}))
            holding = lambda: tool("wintool", "holding", "sleeper.exe", "PalisorDLL.dll",
                                   env=self.prefix.env).stdout.split()
            self.assertTrue(wait_until(holding, WAIT), "the firewall did not guard the program")
            # The start is over with its last log line (the packet filter's rules applied).
            self.assertTrue(wait_until(lambda: b"rules applied" in self.installed("SysLog.txt").read_bytes(), WAIT))
            kept = {name: self.installed(name).read_bytes() for name in DATA_FILES}
            settings = self.prefix.export(SETTINGS_KEY)
            self.assertIn('"Autostart"="yes"', settings)

            code, seconds = self.prefix.install("/DESKTOP=0")
            print("\n  upgrade over a running Palisor: %.1f s" % seconds)
            self.assertEqual(code, 0)
            self.assertNotEqual(tool("wintool", "pids", "Palisor.exe", env=self.prefix.env).returncode, 0)
            self.assertIsNone(guarded.poll(), "the guarded program ended")
            self.assertEqual(holding(), [])
            self.assert_program_files_as_built()
            for name in DATA_FILES:
                after = self.installed(name).read_bytes()
                self.assertEqual(after, kept[name], "%s; after it: %r" % (name, after[len(kept[name]):]))
            self.assertEqual(self.prefix.export(SETTINGS_KEY), settings)
        finally:
            tool("wintool", "kill", "sleeper.exe", env=self.prefix.env)

    def test_uninstall_keeping_data_leaves_only_the_rules_logs_and_settings(self):
        files_before, registry_before = self.prefix.listing(), self.prefix.registry_snapshot()
        self.assertEqual(self.prefix.install("/DESKTOP=1", "/LOGON=1")[0], 0)
        self.prefix.start_palisor(DEFAULT_SETTINGS)
        wait_until(lambda: all(self.installed(name).exists() for name in DATA_FILES), WAIT)
        seconds = self.prefix.uninstall()  # ends the running Palisor first
        print("\n  silent uninstall: %.1f s" % seconds)
        folder = str(self.prefix.install_dir.relative_to(self.prefix.drive_c))
        self.assertEqual(self.prefix.listing() - files_before,
                         {folder} | {folder + "/" + name for name in DATA_FILES})
        self.assertEqual(files_before - self.prefix.listing(), set())
        changed = changed_keys(registry_before, self.prefix.registry_snapshot())
        self.assertEqual(changed, {SETTINGS_KEY.upper(), SETTINGS_KEY.upper() + "\\CONFIG",
                                   SETTINGS_KEY.upper() + "\\SPLASH"})
        self.assertIsNone(self.prefix.query(UNINSTALL_KEY, "DisplayName"))
        self.assertIsNone(self.prefix.query(RUN_KEY, "Palisor"))

    def test_uninstall_removing_data_leaves_the_prefix_as_before(self):
        files_before, registry_before = self.prefix.listing(), self.prefix.registry_snapshot()
        self.assertEqual(self.prefix.install("/DESKTOP=1", "/LOGON=1")[0], 0)
        self.prefix.start_palisor(DEFAULT_SETTINGS)
        wait_until(lambda: all(self.installed(name).exists() for name in DATA_FILES), WAIT)
        self.prefix.uninstall("/REMOVEDATA")
        self.assertEqual(self.prefix.listing(), files_before)
        self.assertEqual(changed_keys(registry_before, self.prefix.registry_snapshot()), set())

    def test_installing_again_repairs_a_damaged_installation(self):
        self.assertEqual(self.prefix.install()[0], 0)
        self.installed("FWDLL.dll").unlink()
        self.prefix.run(["reg", "delete", UNINSTALL_KEY, "/f"])
        self.assertIsNone(self.prefix.query(UNINSTALL_KEY, "DisplayName"))
        self.assertEqual(self.prefix.install()[0], 0)
        self.assert_program_files_as_built()
        self.assertEqual(self.prefix.query(UNINSTALL_KEY, "DisplayName"), "Palisor")
        self.assertEqual(self.prefix.query(UNINSTALL_KEY, "DisplayVersion"), project_version())


if __name__ == "__main__":
    unittest.main()
