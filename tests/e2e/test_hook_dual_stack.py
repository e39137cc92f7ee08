"""Dual-stack sockets through Palisor.exe: a client whose AF_INET6 socket connects to an
IPv4-mapped address (::ffff:127.0.0.1) is reported with that IPv4 address and port, so the
traffic rules on IPv4 addresses decide it; a pure IPv6 peer is reported as address 0.0.0.0 with
its port, so rules that name no address (a port rule) still apply."""
import unittest

import test_hook_palisor as palisor_hooks
from harness import parse_fields, tool
from hook_fixtures import AWAIT_HOOK, WSAEACCES, finish, lines_with, start_server

MAPPED_LOOPBACK = "::ffff:127.0.0.1"
WSAECONNREFUSED = 10061


def traffic_rule(address, port, action, operation):
    return ["TCPCLIENT.EXE", "ANY", "0.0.0.0", "0", address, str(port), action, operation, "0"]


class DualStackTest(palisor_hooks.RunningPalisorClass, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.start_palisor("hook-dual-stack", {
            "NetRules.txt": [
                traffic_rule("127.0.0.1", 7111, "DROP", "CONNECT"),
                traffic_rule("127.0.0.1", 7112, "PASS", "ANY"),
                traffic_rule("0.0.0.0", 7113, "DROP", "CONNECT"),
                traffic_rule("0.0.0.0", 0, "DROP", "SEND"),  # sends that no rule above passes
                palisor_hooks.PASS_EVERYTHING,
            ],
            "AllowedApps.txt": [palisor_hooks.ALLOW_EVERYTHING],
        })

    def connect(self, port, address):
        return parse_fields(tool("tcpclient", port, *AWAIT_HOOK, "--address", address).stdout.splitlines()[0])

    def test_a_drop_rule_on_the_ipv4_address_refuses_the_mapped_connect(self):
        self.assertEqual(self.connect(7111, MAPPED_LOOPBACK), {"error": WSAEACCES, "hooked": 1})
        # Nothing listens on the next port, which no rule drops: the system refuses it.
        self.assertEqual(self.connect(7110, MAPPED_LOOPBACK), {"error": WSAECONNREFUSED, "hooked": 1})

    def test_a_pass_rule_on_the_ipv4_address_lets_the_mapped_client_connect_and_send(self):
        server, reader = start_server(7112, "--timeout", 60000)
        client = tool("tcpclient", 7112, *AWAIT_HOOK, "--address", MAPPED_LOOPBACK, "--message", "mapped").stdout
        lines = client.splitlines()
        finish(server, reader)
        self.assertEqual(lines[0], "connect ok hooked=1")
        self.assertEqual([s["result"] for s in lines_with(lines, "send")], [6])

    def test_a_pure_ipv6_peer_is_decided_by_a_rule_on_its_port_alone(self):
        self.assertEqual(self.connect(7113, "::1"), {"error": WSAEACCES, "hooked": 1})
        # Another port passes: nothing listens on ::1, so the system refuses the connection.
        self.assertEqual(self.connect(7114, "::1"), {"error": WSAECONNREFUSED, "hooked": 1})


if __name__ == "__main__":
    unittest.main()
