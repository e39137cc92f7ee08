"""End-to-end harness: runs Palisor.exe and the test tools under Wine on a private X display.

A test run shares one Wine prefix and one Xvfb display (scripts/test.sh makes them and exports
WINEPREFIX and DISPLAY). Run alone, a test module makes its own in build/e2e/.

    with ProgramDir("my-test") as program:          # a fresh program directory with Palisor.exe
        program.write_records("NetRules.txt", [[...9 fields...]])
        with Palisor(program, settings={"Autostart": "no"}) as palisor:
            cells = send_network_event(payload="hello", app="C:\\X\\A.EXE")
"""
import atexit
import collections
import os
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]


def _windows_arch():
    """i686 where this machine runs 32-bit x86 code, else x86_64 (as scripts/wine-arch.sh decides)."""
    if os.environ.get("PALISOR_WINDOWS_ARCH"):
        return os.environ["PALISOR_WINDOWS_ARCH"]
    loader = Path("/usr/lib/wine/wine")
    if not loader.exists():
        return "i686"
    try:
        runs = subprocess.run([str(loader), "--version"], capture_output=True).returncode == 0
    except OSError:
        runs = False
    return "i686" if runs else "x86_64"


ARCH = _windows_arch()
WINE = os.environ.get("PALISOR_WINE") or ("wine" if ARCH == "i686" else "/usr/lib/wine/wine64")
BUILD = Path(os.environ.get("PALISOR_WIN32_BUILD", ROOT / "build" / ("win32" if ARCH == "i686" else "win64")))
BIN = BUILD / "bin"
TOOLS = BUILD / "tools"
WORK = Path(os.environ.get("PALISOR_E2E_WORK", ROOT / "build" / "e2e"))
EVIDENCE = WORK / "failures"

CONFIG_KEY = r"HKEY_LOCAL_MACHINE\SOFTWARE\Palisor\Config"
SPLASH_KEY = r"HKEY_LOCAL_MACHINE\SOFTWARE\Palisor\Splash"

# Settings written before every start unless a test says otherwise: the firewall is not started
# automatically (so no hook is placed into the test tools), and the splash is not a first start.
DEFAULT_SETTINGS = {
    "Autostart": "no",
    "Start minimized": "no",
    "Enable traffic logging": "no",
    "Enable system guard": "yes",
    "Enable system profiling": "no",
    "Log app events": "yes",
    "Logging level": "0",
}

_session = None


def wait_until(condition, timeout, interval=0.05):
    """Polls `condition` until it holds or `timeout` seconds have passed; returns its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


class WineSession:
    """The Wine prefix and X display of this test run. Those that it made itself (run alone, with no
    WINEPREFIX or DISPLAY given) end with the run: its wine server, the prefix's processes, Xvfb."""

    def __init__(self):
        self.env = dict(os.environ)
        self.env.setdefault("WINEDEBUG", "-all")
        self.env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
        if ARCH == "x86_64":
            self.env.update(WINELOADER=WINE, WINEARCH="win64")
        self._xvfb = None
        self._own_prefix = "WINEPREFIX" not in os.environ
        if self._own_prefix:
            WORK.mkdir(parents=True, exist_ok=True)
            self.env["WINEPREFIX"] = str(WORK / "wineprefix")
        if "DISPLAY" not in os.environ:
            self._start_xvfb()
        atexit.register(self.close)
        quiet = dict(env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not (Path(self.env["WINEPREFIX"]) / "system.reg").exists():
            subprocess.run([WINE, "wineboot", "-i"], timeout=300, **quiet)
        # One wine server for the whole run: every later process starts in a fraction of a second.
        subprocess.run(["wineserver", "-p"], timeout=60, **quiet)
        # The prefix's own processes (services, device drivers) start with its first program and
        # outlive it, holding whatever output pipes that program had: started here without ours,
        # a later program's output ends when it does.
        subprocess.run([WINE, "wineboot"], timeout=300, **quiet)

    def _start_xvfb(self):
        for number in range(97 + os.getpid() % 100, 400):
            if not Path("/tmp/.X11-unix/X%d" % number).exists() and not Path("/tmp/.X%d-lock" % number).exists():
                break
        display = ":%d" % number
        self._xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.env["DISPLAY"] = display
        if not wait_until(lambda: Path("/tmp/.X11-unix/X%d" % number).exists() or self._xvfb.poll() is not None, 30):
            raise RuntimeError("Xvfb did not start on %s" % display)

    def close(self):
        if self._own_prefix:
            subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                           timeout=60)
        if self._xvfb and self._xvfb.poll() is None:
            self._xvfb.terminate()
            self._xvfb.wait(timeout=30)


def windows_processes():
    """(Unix pid, Windows file name in upper case) of every Windows program of this run's prefix."""
    prefix = session().env["WINEPREFIX"].encode()
    found = []
    for entry in os.scandir("/proc"):
        if not entry.name.isdigit():
            continue
        try:
            with open("/proc/%s/environ" % entry.name, "rb") as environ:
                if b"WINEPREFIX=" + prefix + b"\0" not in environ.read() + b"\0":
                    continue
            with open("/proc/%s/cmdline" % entry.name, "rb") as cmdline:
                program = cmdline.read().split(b"\0", 1)[0].decode("latin-1")
        except OSError:
            continue  # ended meanwhile, or not ours to read
        if program.lower().endswith(".exe"):
            found.append((int(entry.name), program.replace("/", "\\").rsplit("\\", 1)[-1].upper()))
    return found


def kill_programs(*names, timeout=60):
    """Ends every program of these file names at once, as TerminateProcess does (the wine server
    sees it gone), without starting a Windows program that a started firewall would hold or guard.
    Returns whether none is left."""
    wanted = {name.upper() for name in names}

    def left():
        return [pid for pid, name in windows_processes() if name in wanted]

    for pid in left():
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    return wait_until(lambda: not left(), timeout)


def tool_names():
    return sorted(path.name.upper() for path in TOOLS.glob("*.exe"))


def end_leftovers():
    """Ends Palisor and the test tools where a test left them running; returns their names."""
    wanted = set(tool_names()) | {"PALISOR.EXE"}
    left = sorted({name for _, name in windows_processes() if name in wanted})
    if left:
        kill_programs(*left)
    return left


_hangs = []  # backtraces taken when a program outlived its time, for the next failure's evidence
_runs = collections.deque(maxlen=40)  # the last programs run (to their end or killed), with their output
_logs = collections.deque(maxlen=8)  # (name, text): the last logs of programs that ended, before they were deleted


def note_log(path):
    """Keeps the text of a log that its owner is about to delete, for the evidence of a failure
    (a test's fixture ends before its failure is recorded)."""
    try:
        _logs.append((path.name, path.read_bytes()))
    except OSError:
        pass


def note_run(command, outcome, started, out="", err=""):
    """Keeps a program's run (its command, when it started (time.monotonic()), how it ended and
    how long it took, the ends of its output) for the evidence of a failure: what a test tool
    printed tells what its test only summed up."""
    def tail(name, text):
        return "  %s: %s\n" % (name, text[-2000:].rstrip("\n")) if text else ""
    took = time.monotonic() - started
    at = time.strftime("%H:%M:%S", time.gmtime(time.time() - took))
    _runs.append("$ %s\n  started %s UTC, %s, took %.1f s\n%s%s" % (" ".join(str(a) for a in command), at, outcome,
                                                                     took, tail("stdout", out), tail("stderr", err)))


def backtraces(name):
    """The backtraces of every thread of the prefix's programs, from the Wine debugger attached
    to the running program called `name` (upper case); empty when there is none."""
    listing = wine(["winedbg", "--command", "info process"], note_hangs=False).stdout
    for line in listing.splitlines():  # " 0000002c 2        \_ 'program.exe'", the id in hex
        fields = line.replace(">", " ").split()
        if len(fields) >= 3 and fields[-1].strip("'").upper() == name:
            commands = "attach 0x%s\nbacktrace all\ndetach\nquit\n" % fields[0]
            return wine(["winedbg"], timeout=120, input_text=commands, note_hangs=False).stdout
    return ""


def note_hang(program):
    """Keeps the backtraces of a program that outlived its time and of the prefix's others
    (Palisor.exe among them), for the next failure's evidence."""
    try:
        _hangs.append("==== %s outlived its time\n%s" % (program, backtraces(program)))
    except (OSError, subprocess.SubprocessError) as error:  # a help, never a second failure
        _hangs.append("==== %s outlived its time; no backtraces: %s\n" % (program, error))


def keep_evidence(test_id):
    """Keeps what shows why a test failed in EVIDENCE/<test id>/: a screenshot of the display, the
    files of the program directories in use, the event logs and watcher journals of the fake
    firewalls running or ended last, the prefix's programs and the last programs run with their
    output. Returns the folder."""
    folder = EVIDENCE / "".join(c if c.isalnum() or c in "._-" else "_" for c in test_id)[:150]
    folder.mkdir(parents=True, exist_ok=True)
    subprocess.run(["import", "-display", session().env["DISPLAY"], "-window", "root", str(folder / "screen.png")],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
    for directory in ProgramDir.live:
        for path in directory.glob("*.txt"):
            shutil.copy2(path, folder / ("%s-%s" % (directory.name, path.name)))
    for name, text in _logs:
        (folder / name).write_bytes(text)
    _logs.clear()
    for path in WORK.glob("hook-events-*.log"):
        shutil.copy2(path, folder / path.name)
    (folder / "runs.txt").write_text("".join(_runs))
    (folder / "programs.txt").write_text("".join("%d %s\n" % entry for entry in windows_processes()))
    if _hangs:
        (folder / "backtraces.txt").write_text("".join(_hangs))
        _hangs.clear()
    return folder


def session():
    global _session
    if _session is None:
        _session = WineSession()
    return _session


def windows_path(path):
    """The path as a Windows program under Wine sees it (drive Z: is the Unix root)."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def wine(args, timeout=60, check=False, input_text=None, env=None, note_hangs=True):
    """Runs a Windows program to its end and returns the CompletedProcess (text output); `env`
    replaces the session's environment (another prefix). One that outlives `timeout` is killed
    (subprocess.TimeoutExpired); in the session's prefix, the backtraces of it and of Palisor.exe
    are kept first, for the evidence of the failure.

    Its output goes to files, not pipes: a program of the prefix that it happens to start (Wine
    starts the desktop process or a service on demand) inherits its output and lives on, and a
    pipe would not end before that one does."""
    command = [WINE] + [str(a) for a in args]

    def texts():
        for file in (out, err):
            file.seek(0)
        return [file.read().decode("latin-1", errors="replace") for file in (out, err)]

    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        started = time.monotonic()
        process = subprocess.Popen(command, env=env or session().env, stdout=out, stderr=err,
                                   stdin=subprocess.PIPE if input_text is not None else subprocess.DEVNULL)
        try:
            process.communicate(input_text.encode("latin-1") if input_text is not None else None, timeout=timeout)
        except subprocess.TimeoutExpired:
            if env is None and note_hangs:
                note_hang(Path(str(args[0])).name.upper())
            process.kill()
            process.wait()
            note_run(command, "killed after %s s" % timeout, started, *texts())
            raise
        output = texts()
    result = subprocess.CompletedProcess(command, process.returncode, *output)
    note_run(command, "exit code %d" % process.returncode, started, *output)
    if check:
        result.check_returncode()
    return result


def tool(name, *args, timeout=60, env=None):
    return wine([TOOLS / (name + ".exe")] + list(args), timeout=timeout, env=env)


def start_tool(name, *args):
    """Starts a test tool in the background; returns the Popen (stdout/stderr as text pipes)."""
    return subprocess.Popen([WINE, str(TOOLS / (name + ".exe"))] + [str(a) for a in args], env=session().env,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, errors="replace")


def encode_records(records):
    """The store file encoding: every field followed by one NUL byte, records back to back."""
    out = bytearray()
    for record in records:
        for field in record:
            out += field.encode("latin-1") if isinstance(field, str) else field
            out += b"\0"
    return bytes(out)


def decode_fields(data):
    """The fields of a store file, in order (the last one may be cut short)."""
    if not data:
        return []
    fields = data.split(b"\0")
    if data.endswith(b"\0"):
        fields = fields[:-1]
    return [f.decode("latin-1") for f in fields]


def decode_records(data, field_count):
    fields = decode_fields(data)
    return [fields[i:i + field_count] for i in range(0, len(fields), field_count)]


class ProgramDir:
    """A fresh program directory holding Palisor.exe and its libraries, removed afterwards."""

    live = []  # the directories in use now, for the evidence of a failure

    def __init__(self, name, keep_files=("Palisor.exe", "PalisorDLL.dll", "FWDLL.dll", "help.chm", "PalisorDLL64.dll",
                                         "PalisorHelper32.exe", "PalisorHelper64.exe")):
        WORK.mkdir(parents=True, exist_ok=True)
        self.path = Path(tempfile.mkdtemp(prefix=name + "-", dir=WORK))
        ProgramDir.live.append(self.path)
        for file_name in keep_files:
            source = BIN / file_name
            if source.exists():
                shutil.copy2(source, self.path / file_name)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self.path in ProgramDir.live:
            ProgramDir.live.remove(self.path)
        shutil.rmtree(self.path, ignore_errors=True)

    def file(self, name):
        return self.path / name

    def write_records(self, name, records):
        self.file(name).write_bytes(encode_records(records))

    def read_bytes(self, name):
        path = self.file(name)
        return path.read_bytes() if path.exists() else None

    def read_records(self, name, field_count):
        return decode_records(self.read_bytes(name) or b"", field_count)

    def read_lines(self, name):
        data = self.read_bytes(name) or b""
        return data.decode("latin-1").split("\r\n")[:-1] if data else []

    @property
    def exe(self):
        return self.file("Palisor.exe")


def write_registry(values_by_key, delete_keys=(), env=None):
    """Writes registry values with one regedit call. A value is a str (REG_SZ) or an int (REG_DWORD)."""
    lines = ["REGEDIT4", ""]
    for key in delete_keys:
        lines += ["[-%s]" % key, ""]
    for key, values in values_by_key.items():
        lines.append("[%s]" % key)
        for name, value in values.items():
            if isinstance(value, int):
                lines.append('"%s"=dword:%08x' % (name, value))
            else:
                lines.append('"%s"="%s"' % (name, value.replace("\\", "\\\\").replace('"', '\\"')))
        lines.append("")
    with tempfile.NamedTemporaryFile("w", suffix=".reg", delete=False, dir=WORK, encoding="latin-1",
                                     newline="\r\n") as reg:
        reg.write("\n".join(lines) + "\n")
    try:
        wine(["regedit", "/S", windows_path(reg.name)], timeout=60, check=True, env=env)
    finally:
        os.unlink(reg.name)


def read_registry_value(key, name, env=None):
    """The data of a registry value as `reg query` prints it, or None when it is missing."""
    result = wine(["reg", "query", key, "/v", name], env=env)
    for line in result.stdout.splitlines():
        # "    <name>    <type>    <data>": four blanks between fields; a name may hold single blanks.
        parts = line.strip().split("    ", 2)
        if len(parts) >= 2 and parts[0] == name:
            return parts[2] if len(parts) == 3 else ""
    return None


def set_settings(settings=None, splash_seen=True, replace=True):
    """Replaces the settings key by these values (None: the test defaults; {} : no key at all)."""
    values = dict(DEFAULT_SETTINGS) if settings is None else dict(settings)
    keys = {}
    if values:
        keys[CONFIG_KEY] = values
    if splash_seen:
        keys[SPLASH_KEY] = {"First time": "no"}
    write_registry(keys, delete_keys=[CONFIG_KEY] if replace else [])


class Palisor:
    """Palisor.exe running from a program directory, until stop() or the end of the with block."""

    MAIN_CLASS, MAIN_TITLE = "TForm1", "Palisor"

    def __init__(self, program, settings=None, splash_seen=True, wait=True, write_settings=True):
        self.program = program
        if write_settings:
            set_settings(settings, splash_seen)
        self.process = subprocess.Popen([WINE, str(program.exe)], env=session().env, cwd=str(program.path),
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if wait:
            self.wait_for_window()

    def wait_for_window(self, timeout_ms=30000):
        """Waits for the main window, closing the splash window if one shows."""
        result = tool("wintool", "wait-window", self.MAIN_CLASS, self.MAIN_TITLE, timeout_ms, "TSplashscreen",
                      timeout=timeout_ms / 1000 + 30)
        if result.returncode != 0:
            raise AssertionError("Palisor's main window did not appear")

    def running(self):
        return any(name == "PALISOR.EXE" for _, name in windows_processes())

    def stop(self):
        """Kills Palisor and waits until no copy is left, so the next start is not a second copy."""
        if not kill_programs("Palisor.exe"):
            raise AssertionError("Palisor.exe did not end when killed")
        self.process.wait(timeout=60)
        # A killed firewall leaves its hook library in the processes it guarded (Wine's own
        # services among them): take it out, so that later tests start from unguarded processes.
        if (self.program.path / "PalisorDLL.dll").exists() and (TOOLS / "fakefirewall.exe").exists():
            tool("fakefirewall", "--remove", windows_path(self.program.path), timeout=120)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


def parse_fields(text):
    """Parses 'key=value key=value' output of a test tool into a dict of ints where possible."""
    result = {}
    for token in text.split():
        if "=" in token:
            key, value = token.split("=", 1)
            try:
                result[key] = int(value)
            except ValueError:
                result[key] = value
    return result


def send_network_event(**options):
    """Sends a network event with the event sender; returns its printed cells as a dict."""
    return _send_event("net", options)


def send_system_event(**options):
    return _send_event("sys", options)


def _send_event(kind, options):
    args = [kind]
    for key, value in options.items():
        flag = "--" + key.replace("_", "-")
        if value is True:
            args.append(flag)
        else:
            args += [flag, str(value)]
    result = tool("eventsender", *args, timeout=180)
    fields = parse_fields(result.stdout)
    if "result" not in fields:
        raise AssertionError("event sender failed: %s %s" % (result.stdout, result.stderr))
    return fields


UNTOUCHED_BYTE = 0xAA  # the event sender's sentinel of a cell that was not written
UNTOUCHED_SPEED = -7
