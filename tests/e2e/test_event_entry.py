"""The event entry of Palisor.exe: events sent with WM_COPYDATA get their cells written back."""
import unittest

from harness import (DEFAULT_SETTINGS, UNTOUCHED_BYTE, UNTOUCHED_SPEED, Palisor, ProgramDir, parse_fields,
                     send_network_event, send_system_event, tool)

PASS_EVERYTHING = ["*.*", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "0"]


class EventEntryTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.program = ProgramDir("event-entry")
        cls.program.write_records("NetRules.txt", [PASS_EVERYTHING])
        settings = dict(DEFAULT_SETTINGS)
        settings["Enable system profiling"] = "yes"  # learning mode: system events pass without a prompt
        cls.palisor = Palisor(cls.program, settings=settings)

    @classmethod
    def tearDownClass(cls):
        cls.palisor.stop()
        cls.program.__exit__()

    def test_network_event_with_payload_is_decided(self):
        cells = send_network_event(payload="GET / HTTP/1.0")
        self.assertEqual((cells["result"], cells["verdict"], cells["answer"], cells["speed"]), (1, 1, 0, 0))

    def test_events_that_are_not_decided_leave_the_cells_untouched(self):
        for options in ({"payload_length": 0}, {"wparam": 0}, {"wparam": 7}):
            with self.subTest(**options):
                cells = send_network_event(**options)
                self.assertEqual(cells["result"], 1)
                self.assertEqual((cells["verdict"], cells["answer"], cells["speed"]),
                                 (UNTOUCHED_BYTE, UNTOUCHED_BYTE, UNTOUCHED_SPEED))

    def test_system_event_is_answered(self):
        cells = send_system_event(op=1, target="C:\\WINDOWS\\SYSTEM32\\WS2_32.DLL")
        self.assertEqual((cells["result"], cells["verdict"], cells["answer"]), (1, 1, 0))

    def test_damaged_messages_are_survived_and_the_next_event_is_answered(self):
        damaged = ({"size": 100}, {"size": 1071}, {"bogus_cells": True}, {"payload_length": 0x7FFFFFFF},
                   {"payload_length": 100000})
        for options in damaged:
            with self.subTest(**options):
                cells = send_network_event(**options)
                self.assertEqual(cells["result"], 1)
                after = send_network_event(payload="still here")
                self.assertEqual((after["verdict"], after["answer"]), (1, 0))
        short_system = send_system_event(size=2071)
        self.assertEqual((short_system["verdict"], short_system["answer"]), (UNTOUCHED_BYTE, UNTOUCHED_BYTE))
        self.assertTrue(self.palisor.running())

    def test_a_storm_of_malformed_messages_harms_nothing_and_the_next_event_is_decided(self):
        storm = parse_fields(tool("eventsender", "storm", 100000, 20261208, timeout=900).stdout)
        self.assertEqual((storm.get("sent"), storm.get("page")), (100000, "intact"))
        self.assertTrue(self.palisor.running())
        after = send_network_event(payload="after the storm")
        self.assertEqual((after["result"], after["verdict"], after["answer"], after["speed"]), (1, 1, 0, 0))


if __name__ == "__main__":
    unittest.main()
