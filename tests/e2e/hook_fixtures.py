"""The fake firewall window of the hook tests (tests/tools/fakefirewall.cpp) and the socket tools.

    with FakeFirewall() as firewall:                 # places PalisorDLL.dll like Palisor does
        firewall.answer("--drop-op", 1)               # later events: drop every SEND
        mark = firewall.mark()
        ...run tools...
        events = firewall.events_since(mark)          # [{'kind': 'net', 'op': 1, ...}, ...]
"""
import queue
import subprocess
import tempfile
import threading
import time
from pathlib import Path

from harness import BIN, WORK, kill_programs, note_log, parse_fields, start_tool, tool, windows_path

NETWORK_OPS = {"RECEIVE": 0, "SEND": 1, "RECVFROM": 2, "SENDTO": 3, "WSASEND": 4, "WSARECV": 5, "ACCEPT": 6,
               "CONNECT": 7, "BIND": 8}
WSAEACCES = 10013
ERROR_ACCESS_DENIED = 5


class LineReader:
    """Reads a process's output lines on a thread, so that a test can wait for one with a time-out."""

    def __init__(self, process):
        self.process = process
        self.lines = []
        self._queue = queue.Queue()
        self._thread = threading.Thread(target=self._pump, daemon=True)
        self._thread.start()

    def _pump(self):
        for line in self.process.stdout:
            self._queue.put(line.rstrip("\r\n"))
        self._queue.put(None)

    def wait_for(self, prefix, timeout=60):
        deadline = time.time() + timeout
        while time.time() < deadline:
            try:
                line = self._queue.get(timeout=max(0.05, deadline - time.time()))
            except queue.Empty:
                break
            if line is None:
                break
            self.lines.append(line)
            if line.startswith(prefix):
                return line
        raise AssertionError("no line starting with %r; got %r" % (prefix, self.lines))

    def rest(self, timeout=60):
        self._thread.join(timeout)
        while True:
            try:
                line = self._queue.get_nowait()
            except queue.Empty:
                return self.lines
            if line is not None:
                self.lines.append(line)


def parse_event(line):
    """One line of the fake firewall's log as a dict; 'app', 'payload' and 'target' run to the end."""
    head, _, tail = line.partition(" app=")
    fields = parse_fields(head)
    fields["kind"] = head.split(" ", 1)[0]
    if fields["kind"] == "net":
        app, _, payload = tail.partition(" payload=")
        fields["app"], fields["payload"] = app, payload
    else:
        app, _, target = tail.partition(" target=")
        fields["app"], fields["target"] = app, target
    return fields


class FakeFirewall:
    """fakefirewall.exe with the hook library placed, until stop(). Without a window it only places
    the library, for another firewall window (Palisor.exe's) to answer."""

    def __init__(self, *args, place=True, window=True):
        self.window = window
        handle, name = tempfile.mkstemp(prefix="hook-events-", suffix=".log", dir=WORK)
        Path(name).write_bytes(b"")
        self.log = Path(name)
        self.control = self.log.with_suffix(".control")
        self.control.write_text("")
        self.journal = self.log.with_suffix(".journal.log")  # what its watcher did: kept as evidence
        arguments = ["--log", windows_path(self.log), "--control", windows_path(self.control),
                     "--journal", windows_path(self.journal)] + list(args)
        if place:
            arguments = ["--place", windows_path(BIN)] + arguments
        if not window:
            arguments.append("--no-window")
        self.process = start_tool("fakefirewall", *arguments)
        self.output = LineReader(self.process)
        self.place = parse_fields(self.output.wait_for("place")) if place else None
        self.output.wait_for("ready")
        self.removal = None

    def answer(self, *options):
        """Changes the answers from the next event on (options as on the command line)."""
        self.control.write_text(" ".join(str(o) for o in options))

    def mark(self):
        return len(self.log.read_bytes())

    def events_since(self, mark=0):
        text = self.log.read_bytes()[mark:].decode("latin-1")
        return [parse_event(line) for line in text.splitlines() if line]

    def events_of(self, exe_name, mark=0, kind=None):
        exe = exe_name.upper()
        return [e for e in self.events_since(mark) if e["app"].endswith("\\" + exe) and kind in (None, e["kind"])]

    def stop(self):
        """Closes the window: the hook library is removed first. Returns the removal's fields."""
        if self.process.poll() is None:
            if self.window:
                tool("wintool", "close-window", "TForm1", "Palisor")
            else:
                self.control.write_text("stop")
            try:
                self.process.wait(timeout=60)
            except subprocess.TimeoutExpired:
                self.process.kill()
        lines = self.output.rest()
        removal = [line for line in lines if line.startswith("remove")]
        self.removal = parse_fields(removal[-1]) if removal else None
        if self.place and not self.removal:
            remove_hook_library()
        return self.removal

    def kill(self):
        kill_programs("fakefirewall.exe")
        self.process.wait(timeout=30)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
        note_log(self.log)
        note_log(self.journal)
        for path in (self.log, self.control, self.journal):
            path.unlink(missing_ok=True)


def remove_hook_library(directory=BIN):
    """Takes the hook library placed from `directory` out of every process (after a firewall that
    ended without removing it)."""
    return parse_fields(tool("fakefirewall", "--remove", windows_path(directory), timeout=120).stdout)


# Lets a tool wait until the watcher has placed the hook library into it, for the tests of what
# the hooks do (test_hook_guarded_start tests how soon a new program is guarded). The watcher
# looks every quarter second; the deadline is for a loaded machine, where 5 s once ran out.
AWAIT_HOOK = ("--await-hook", 20000)


def start_server(port, *args):
    """tcpserver listening on 127.0.0.1:port (hooked); returns (process, reader) once it listens."""
    process = start_tool("tcpserver", port, *(AWAIT_HOOK + tuple(args)))
    reader = LineReader(process)
    reader.wait_for("listening")
    return process, reader


def finish(process, reader, timeout=60):
    process.wait(timeout=timeout)
    return reader.rest()


def lines_with(lines, prefix):
    return [parse_fields(line) for line in lines if line.startswith(prefix)]
