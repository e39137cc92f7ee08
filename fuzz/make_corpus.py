#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (fuzz/corpus/<target>/seed-*): inputs in each
target's own format, made from the record layouts, file formats and edge cases of the system.
Run it again after changing a target's input format; it rewrites only the seed-* files."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# fuzz/RuleTexts.h, kRuleVocabulary, in order.
VOCABULARY = [
    "*.*", "ANY", "0.0.0.0", "0", "NOT SIGNED", "PASS", "DROP", "",
    "TCP", "UDP", "UNK", "SEND", "RECEIVE", "RECVFROM", "SENDTO", "WSASEND",
    "WSARECV", "ACCEPT", "CONNECT", "BIND", "10.0.0.5", "93.184.216.34", "127.0.0.1", "80",
    "1025", "443", "C:\\PROGRAM FILES\\TEST\\CLIENT.EXE", "CLIENT.EXE", "C:\\PROGRAM FILES\\TEST\\", "C:\\", "EXE",
    "c:\\tools\\app.exe", "EXECUTE", "LOAD LIBRARY", "OPEN FILE", "64", "-1", "$10", "2147483648", "0A-11-22-33",
]
# fuzz/app_entry_diff.cpp, kApplications, in order.
APPLICATIONS = [
    "*.*", "", "C:\\PROGRAM FILES\\TEST\\CLIENT.EXE", "CLIENT.EXE", "C:\\PROGRAM FILES\\TEST\\", "C:\\",
    "EXE", "E", "X", "C:\\WINDOWS\\SYSTEM32\\CMD.EXE", "CMD.EXE", "\\", "*", "CLIENT", "C:\\PROGRAM FILES\\",
    "TEST\\CLIENT.EXE",
]


def b(text):
    return text.encode("latin-1") if isinstance(text, str) else bytes(text)


def text(t):
    return b(t) + b"\0"


def word(t, table=VOCABULARY):
    """A RuleText: the vocabulary index, or 0xFF and the text."""
    if t in table:
        return bytes([table.index(t)])
    return b"\xff" + text(t)


def write(target, name, data):
    directory = os.path.join(HERE, "corpus", target)
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, "seed-" + name), "wb") as f:
        f.write(data)


def u16(v):
    return struct.pack("<H", v & 0xFFFF)


def u32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def ip(a, b_, c, d):
    return bytes([a, b_, c, d])  # in_addr bytes: network order


def port(p):
    return struct.pack(">H", p)  # network byte order


# ---- event_dispatch ---------------------------------------------------------------------------
def settings_byte(system_guard=True, learning=False, log_events=True, traffic_log=False, level=1):
    return bytes([(0 if system_guard else 1) | (2 if learning else 0) | (0 if log_events else 4) |
                  (8 if traffic_log else 0) | ((level + 1) << 4)])


def traffic_rule(*fields):
    return b"\x00" + b"".join(word(f) for f in fields)


def content_rule(pattern, action):
    return b"\x01" + word(pattern) + word(action)


def app_entry(allowed, *fields):
    return b"\x02" + (b"\x01" if allowed else b"\x00") + b"".join(word(f) for f in fields)


def network_message(payload=b"hello", app="c:\\program files\\test\\client.exe", op=1, local=(10, 0, 0, 5, 1025),
                    remote=(93, 184, 216, 34, 80), own=False, pid_low=0, length_mode=0, cells=0, address=0x1000,
                    shift=0, raw_last=None, truncated=None, nested_answer=None):
    flags = 0 if not own else 8
    flags |= (pid_low & 3) << 4
    if raw_last is not None:
        flags |= 64
    if truncated is not None:
        flags |= 4
    out = bytes([flags])
    if truncated is not None:
        out += u16(truncated)
    out += u32(address) + bytes([len(payload)]) + b(payload) + bytes([length_mode]) + bytes([shift])
    out += text(app)
    if raw_last is not None:
        out += u32(raw_last)
    out += bytes([op]) + ip(*local[:4]) + port(local[4]) + ip(*remote[:4]) + port(remote[4])
    out += bytes([cells]) + u32(0x2000)
    if cells % 3 == 2:
        out += u32(0x2001) + u32(0x2004)
    if nested_answer is not None:
        out += nested_answer
    return out


def system_message(app="c:\\windows\\notepad.exe", op=0, target="c:\\windows\\calc.exe", own=False, cells=0,
                   raw_app_last=None, raw_target_last=None, prompt=None):
    flags = 1 | (8 if own else 0)
    if raw_app_last is not None:
        flags |= 64
    if raw_target_last is not None:
        flags |= 128
    out = bytes([flags]) + text(app)
    if raw_app_last is not None:
        out += u32(raw_app_last)
    out += bytes([op]) + text(target)
    if raw_target_last is not None:
        out += u32(raw_target_last)
    out += bytes([cells]) + u32(0x3000)
    if cells % 3 == 2:
        out += u32(0x3001)
    if prompt is not None:
        out += prompt
    return out


def other_message(wparam):
    return b"\x02" + u32(wparam)


def event_dispatch():
    rules = (traffic_rule("CLIENT.EXE", "TCP", "0.0.0.0", "0", "0.0.0.0", "80", "PASS", "SEND", "64") +
             content_rule("HELLO", "DROP") +
             app_entry(True, "NOTEPAD.EXE", "*.*", "NOT SIGNED", "ANY") +
             app_entry(False, "*.*", "CALC.EXE", "NOT SIGNED", "EXECUTE"))
    def head(entries=0):
        return settings_byte() + b"\x0a" + bytes([entries])

    write("event_dispatch", "send-content-drop", head(4) + rules + network_message())
    write("event_dispatch", "send-rule-pass", head(4) + rules + network_message(payload=b"GET / HTTP/1.0\r\n\r\n"))
    # No rule decides: the prompt is asked (answer PASS, saved with its bandwidth "64"), and a
    # network event arrives from inside its message loop.
    nested = network_message(payload=b"x", op=0)
    prompt = bytes([1 | 2 | 4 | 8, 0xFF]) + word("64") + nested
    write("event_dispatch", "prompt-save-nested", settings_byte() + b"\x0a\x00" +
          network_message(payload=b"\x00\x7f\x80\xff\r\n\tA", op=7, nested_answer=prompt))
    write("event_dispatch", "unknown-operation", head() + network_message(op=9, nested_answer=b"\x00\x00\x00"))
    write("event_dispatch", "remote-port-80-receive", head() + network_message(op=0, remote=(1, 2, 3, 4, 80)))
    write("event_dispatch", "payload-length-zero", head() + network_message(length_mode=255))
    write("event_dispatch", "payload-length-huge", head() + network_message(length_mode=200) + b"\xff\xff\xff\xff")
    write("event_dispatch", "payload-elsewhere", head() + network_message(shift=0xE3))
    write("event_dispatch", "payload-unreadable", head() + network_message(shift=0xFF))
    write("event_dispatch", "app-path-last-0", head() + network_message(raw_last=0))
    write("event_dispatch", "app-path-last-huge", head() + network_message(raw_last=0xFFFFFFF0))
    write("event_dispatch", "cells-apart", head() + network_message(cells=1) + network_message(cells=2))
    write("event_dispatch", "truncated", head() + network_message(truncated=1071) +
          bytes([1 | 4]) + u16(2071))  # a system message one byte short
    write("event_dispatch", "other-wparam", head() + other_message(0) + other_message(12346))
    write("event_dispatch", "system-allowed", head(4) + rules + system_message(target="c:\\readme.txt", op=3))
    write("event_dispatch", "system-forbidden", head(4) + rules + system_message(app="c:\\x\\calc.exe"))
    write("event_dispatch", "system-prompt-nested",
          head() + system_message(app="c:\\new\\tool.exe", prompt=bytes([0x80 | 2 | 4 | 8]) +
                                system_message(own=True) ))
    write("event_dispatch", "system-target-last-minus-1", head() + system_message(raw_target_last=0xFFFFFFFF))
    write("event_dispatch", "system-unknown-operation", head() + system_message(op=10) + system_message(op=255))
    write("event_dispatch", "system-guard-off", settings_byte(system_guard=False) + b"\x0a\x00" + system_message())
    write("event_dispatch", "learning-mode", settings_byte(learning=True, level=0) + b"\x0a\x00" +
          system_message() + system_message(op=1, target="c:\\windows\\system32\\kernel32.dll"))
    write("event_dispatch", "traffic-logging", settings_byte(traffic_log=True) + b"\x02" + bytes([1]) +
          traffic_rule("*.*", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "DROP", "ANY", "0") +
          network_message() + network_message(op=3) + network_message(op=2, pid_low=2))
    write("event_dispatch", "signature-differs", head(1) +
          app_entry(True, "CLIENT.EXE", "*.*", "0A-11-22-33", "ANY") +
          system_message(app="c:\\program files\\test\\client.exe"))


# ---- rule files -------------------------------------------------------------------------------
def fields(*values):
    return b"".join(text(v) for v in values)


def rule_files():
    files = {
        0: [fields("c:\\tools\\app.exe", "TCP", "0.0.0.0", "0", "93.184.216.34", "80", "DROP", "SEND", "0") +
            fields("", "UDP", "0.0.0.0", "0", "0.0.0.0", "53", "PASS", "ANY", "0") +
            fields("*.*", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "64"),
            fields("C:\\CUT.EXE", "TCP", "1.2.3.4")[:-1]],
        1: [b"HELLO\0DROP\0", fields("GET /", "PASS", "LINE\r\nBREAK", "DROP", "NOVERDICT") + b"",
            fields("", "DROP", "X", "")],
        2: [fields("C:\\WINDOWS\\NOTEPAD.EXE", "*.*", "NOT SIGNED", "ANY",
                   "notepad.exe", "c:\\readme.txt", "1F-00-11-22-33-44-55-66-77-88-99-AA-BB-CC-DD-EE", "OPEN FILE"),
            fields("", "*.*", "NOT SIGNED", "ANY", "APP.EXE", "*.*")],
        3: [fields("*.*", "CALC.EXE", "NOT SIGNED", "EXECUTE", "C:\\BAD.EXE", "*.*", "NOT SIGNED", "ANY"),
            fields("C:\\BAD.EXE", "*.*", "NOT SIGNED", "ANY")[:-3]],
        4: [fields("6", "0.0.0.0", "0.0.0.0", "0", "0.0.0.0", "0.0.0.0", "80", "0",
                   "17", "10.0.0.0", "255.0.0.0", "53", "0.0.0.0", "0.0.0.0", "0", "1"),
            fields("1", "1.2.3.4", "255.255.255.255", "0")],
    }
    for kind, contents in files.items():
        for i, content in enumerate(contents):
            write("rule_files", "file%d-%d" % (kind, i), bytes([kind, 0]) + content)
            write("rule_files", "file%d-%d-chunks" % (kind, i), bytes([kind, 3]) + content)
        write("rule_files", "file%d-empty" % kind, bytes([kind, 0]))


# ---- adv_rules --------------------------------------------------------------------------------
def editor(proto=2, action=0, refuse=False, delete=0, texts=("0.0.0.0", "0.0.0.0", "0", "0.0.0.0", "0.0.0.0", "80")):
    return bytes([proto + 1, action + 1, 1 if refuse else 0, delete]) + b"".join(text(t) for t in texts)


def adv_rules():
    tcp80 = fields("6", "0.0.0.0", "0.0.0.0", "0", "0.0.0.0", "0.0.0.0", "80", "0")
    write("adv_rules", "add-tcp-80", editor() + tcp80)
    write("adv_rules", "port-70000", editor(texts=("10.0.0.1", "255.255.255.0", "70000", "0.0.0.0", "0.0.0.0", "443")) + tcp80)
    write("adv_rules", "refused", editor(refuse=True) + tcp80 + tcp80)
    write("adv_rules", "bad-port-text", editor(texts=("0.0.0.0", "0.0.0.0", "eighty", "0.0.0.0", "0.0.0.0", "0")))
    write("adv_rules", "short-last-record", editor(proto=-1, action=-1, delete=1) + tcp80 + fields("17", "1.2.3.4"))
    write("adv_rules", "inet-addr-forms",
          editor(proto=3, action=1, texts=("0x7f.1", "010.0.0.1", "4294967295", "1.2.3.4 ", "1.2.3", "256.1.1.1")) +
          fields("0", "0x0A000001", "0377.0.0.0", "$10", "1.2.65535", "1.16777215", "-1", "1"))
    write("adv_rules", "not-an-address", editor(texts=("abc", "1..2", "0", "", "0x", "0")) + tcp80)


# ---- settings_values --------------------------------------------------------------------------
ORDER = ["Autostart", "Start minimized", "Enable traffic logging", "Enable system guard",
         "Enable system profiling", "Log app events", "Logging level"]


def settings_input(values, key=True):
    """values: one entry per value in ORDER: None (missing), int (another type) or a text."""
    out = b"\x00" if key else b"\xff"
    for v in values:
        if v is None:
            out += b"\x00" + b"\0"
        elif isinstance(v, int):
            out += b"\x01" + b"\0"
        else:
            out += b"\x02" + text(v)
    return out


def settings_values():
    write("settings_values", "no-key", settings_input([None] * 7, key=False))
    write("settings_values", "first-run-defaults", settings_input(["yes", "no", "no", "yes", "yes", "yes", "1"]))
    write("settings_values", "some-missing", settings_input(["yes", None, None, None, "yes", None, None]))
    write("settings_values", "yes-spelled-otherwise", settings_input(["Yes", "YES", "yes ", "yes", "y", "no", "0"]))
    write("settings_values", "autostart-a-number", settings_input([1, "yes", "yes", "yes", "yes", "yes", "0"]))
    write("settings_values", "level-a-number", settings_input(["yes", "no", "no", "yes", "yes", "yes", 1]))
    for level in ["7", "-5", "abc", "", "-1", " 0", "$1", "0x0", "2147483648", "-2147483648"]:
        write("settings_values", "level-" + (level.strip().replace("$", "hex") or "empty"),
              settings_input(["no", "no", "yes", "no", "no", "yes", level]))


# ---- string_helpers ---------------------------------------------------------------------------
def string_helpers():
    samples = ["  00123  ", "000", "", "$1f", "$1G", "$", "-5", "+7", "0x1F", "0X", "$123456789",
               "2147483647", "-2147483648", "2147483648", "- 5", " \t5", "c:\\tools\\app.exe", "c:app",
               "\\\\server\\share\\", "abcxyz{|}`@[", "\xe4\xf6\xfc\xff", "$fFfFfFfF", "-$80000000", "0009"]
    for i, s in enumerate(samples):
        write("string_helpers", "text-%02d" % i, b(s))
    write("string_helpers", "all", b"\0".join(b(s) for s in samples))


# ---- differential targets ---------------------------------------------------------------------
def content_filter_diff():
    def add(p, a):
        return b"\x00" + text(p) + text(a)

    def search(t):
        return b"\x05" + text(t)

    write("content_filter_diff", "hello-drop", add("HELLO", "DROP") + search("say hello world"))
    write("content_filter_diff", "two-matches", add("WORLD", "PASS") + add("HELLO", "DROP") + search("hello world"))
    write("content_filter_diff", "dot-matches-control", add("A.B", "DROP") + search("xa.b") + search("a\x01b"))
    write("content_filter_diff", "empty-pattern", add("", "DROP") + add("X", "PASS") + search("xyz"))
    write("content_filter_diff", "overlaps", add("ABAB", "DROP") + add("BABC", "PASS") + add("AB", "DROP") +
          search("abababc") + search("babc"))
    write("content_filter_diff", "lists-differ", b"\x01" + text("LONE") + search("a lone pattern") +
          b"\x02" + text("DROP") + search("lone"))
    write("content_filter_diff", "edits", add("GET", "DROP") + add("POST", "PASS") + search("post /") +
          b"\x03\x00\x01" + search("post /") + b"\x04\x00" + text("POS") + search("post /"))
    write("content_filter_diff", "high-bytes", add("\xe4\xff", "DROP") + add("\xc4", "PASS") + search("\xe4\xff\xc4"))


def traffic_rule_diff():
    def rule(*fs):
        return b"\x00" + b"".join(word(f) for f in fs)

    def lookup(*fs):
        return b"\x06" + b"".join(word(f) for f in fs)

    send = ("C:\\PROGRAM FILES\\TEST\\CLIENT.EXE", "TCP", "SEND", "10.0.0.5", "1025", "93.184.216.34", "80")
    write("traffic_rule_diff", "first-match",
          rule("CLIENT.EXE", "TCP", "0.0.0.0", "0", "0.0.0.0", "80", "DROP", "SEND", "0") +
          rule("*.*", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "64") + lookup(*send) +
          lookup("C:\\OTHER.EXE", "UDP", "SENDTO", "10.0.0.5", "53", "127.0.0.1", "53"))
    write("traffic_rule_diff", "empty-application",
          rule("", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "0") + lookup(*send))
    write("traffic_rule_diff", "edits",
          rule("EXE", "TCP", "10.0.0.5", "1025", "93.184.216.34", "80", "PASS", "SEND", "$10") + lookup(*send) +
          b"\x03\x00\x02" + word("127.0.0.1") + lookup(*send) + b"\x02\x00" + lookup(*send) +
          b"\x04\x02" + rule("*.*", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "DROP", "ANY", "2147483648")[1:] * 2 +
          lookup(*send) + b"\x05" + lookup(*send))


def app_entry_diff():
    def append(a):
        return b"\x00" + word(a, APPLICATIONS)

    def lookup(a):
        return b"\x07" + word(a, APPLICATIONS)

    full = "C:\\PROGRAM FILES\\TEST\\CLIENT.EXE"
    write("app_entry_diff", "related-both-ways", append("CLIENT.EXE") + append(full) + append("C:\\WINDOWS\\SYSTEM32\\CMD.EXE") +
          append("*.*") + append("") + lookup(full) + lookup("CLIENT") + lookup("EXE"))
    write("app_entry_diff", "appends-after-lookup", append("X") + lookup(full) + append("E") + append("TEST\\CLIENT.EXE") +
          lookup(full))
    write("app_entry_diff", "remove-and-rename", append("CMD.EXE") + append("CLIENT.EXE") + lookup(full) +
          b"\x02\x00" + lookup(full) + b"\x03\x00" + word("C:\\", APPLICATIONS) + lookup(full))
    write("app_entry_diff", "clear-and-refill", append("CLIENT.EXE") + lookup(full) + b"\x05" + append("CMD.EXE") +
          append("*.*") + lookup(full))
    write("app_entry_diff", "many-short-captions", b"".join(append(a) for a in ["E", "X", "\\", "*", "C:\\"] * 6) +
          lookup(full) + lookup("E"))


if __name__ == "__main__":
    event_dispatch()
    rule_files()
    adv_rules()
    settings_values()
    string_helpers()
    content_filter_diff()
    traffic_rule_diff()
    app_entry_diff()
