"""The road of real socket calls: the hook library in the socket tools asks a fake firewall window,
and the calls pass, fail with WSAEACCES, wait on busy answers or are throttled as answered."""
import time
import unittest

from harness import start_tool, tool
from hook_fixtures import (AWAIT_HOOK, NETWORK_OPS, WSAEACCES, FakeFirewall, LineReader, finish, lines_with,
                           start_server)


class HookedSocketsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.firewall = FakeFirewall()

    @classmethod
    def tearDownClass(cls):
        removal = cls.firewall.stop()
        cls.firewall.__exit__()
        if removal is not None:
            assert removal["remove"] == 1, removal

    def setUp(self):
        self.firewall.answer()  # pass everything
        self.mark = self.firewall.mark()

    def events(self, exe, kind="net"):
        return self.firewall.events_of(exe, self.mark, kind)

    def test_placement_reached_the_running_processes(self):
        self.assertEqual(self.firewall.place["place"], 1)
        self.assertGreater(self.firewall.place["succeeded"], 0)
        self.assertEqual(self.firewall.place["failed"], 0)

    def test_passed_calls_deliver_the_data_unchanged_and_each_is_reported(self):
        for api, send_op, recv_op in (("send", "SEND", "RECEIVE"), ("wsasend", "WSASEND", "WSARECV")):
            with self.subTest(api=api):
                port = 6101 if api == "send" else 6102
                mark = self.firewall.mark()
                server, reader = start_server(port, "--api", "recv" if api == "send" else "wsarecv")
                client = tool("tcpclient", port, *AWAIT_HOOK, "--message", "hello world", "--repeat", 2, "--api", api)
                lines = finish(server, reader)
                self.assertIn("connect ok hooked=1", client.stdout)
                self.assertEqual([f["result"] for f in lines_with(client.stdout.splitlines(), "send")], [11, 11])
                received = "".join(line.split("data=", 1)[1] for line in lines if line.startswith("recv n="))
                self.assertEqual(received, "hello\\x20worldhello\\x20world")

                client_events = self.firewall.events_of("tcpclient.exe", mark, "net")
                ops = [e["op"] for e in client_events]
                self.assertEqual(ops, [NETWORK_OPS["CONNECT"], NETWORK_OPS[send_op], NETWORK_OPS[send_op]])
                connect, send = client_events[0], client_events[1]
                self.assertEqual(connect["remote"], "127.0.0.1:%d" % port)
                self.assertEqual(connect["len"], 16)  # the peer's sockaddr_in is the connection's payload
                self.assertEqual((send["remote"], send["payload"], send["len"]), ("127.0.0.1:%d" % port, "hello world", 11))
                self.assertEqual(send["local"].split(":")[0], "127.0.0.1")

                server_ops = [e["op"] for e in self.firewall.events_of("tcpserver.exe", mark, "net")]
                self.assertEqual(server_ops[:2], [NETWORK_OPS["BIND"], NETWORK_OPS["ACCEPT"]])
                self.assertTrue(set(server_ops[2:]) == {NETWORK_OPS[recv_op]}, server_ops)
                received_events = self.firewall.events_of("tcpserver.exe", mark, "net")[2:]
                self.assertEqual("".join(e["payload"] for e in received_events), "hello worldhello world")
                self.assertEqual(received_events[0]["remote"], send["local"])  # the receive comes from the client's end

    def test_refused_sends_fail_with_wsaeacces_and_nothing_arrives(self):
        for api, op, port in (("send", "SEND", 6111), ("wsasend", "WSASEND", 6112)):
            with self.subTest(api=api):
                self.firewall.answer("--drop-op", NETWORK_OPS[op])
                server, reader = start_server(port, "--timeout", 60000)
                client = tool("tcpclient", port, *AWAIT_HOOK, "--message", "secret", "--repeat", 2, "--api", api)
                lines = finish(server, reader)
                sends = lines_with(client.stdout.splitlines(), "send")
                self.assertEqual([(s["result"], s["error"]) for s in sends], [(-1, WSAEACCES)] * 2)
                self.assertIn("total bytes=0", lines[-1])

    def test_refused_receives_are_discarded(self):
        for api, op, port in (("recv", "RECEIVE", 6121), ("wsarecv", "WSARECV", 6122)):
            with self.subTest(api=api):
                self.firewall.answer("--drop-op", NETWORK_OPS[op])
                server, reader = start_server(port, "--api", api, "--timeout", 60000)
                client = tool("tcpclient", port, *AWAIT_HOOK, "--message", "incoming", "--repeat", 2, "--interval", 100)
                lines = finish(server, reader)
                self.assertEqual([s["result"] for s in lines_with(client.stdout.splitlines(), "send")], [8, 8])
                self.assertFalse([line for line in lines if line.startswith("recv n=")], lines)
                self.assertIn("recv error=%d" % WSAEACCES, lines)
                self.assertIn("total bytes=0", lines[-1])

    def test_refused_connect_fails_and_the_server_accepts_nothing(self):
        self.firewall.answer("--drop-op", NETWORK_OPS["CONNECT"])
        server, reader = start_server(6131, "--timeout", 3000)
        client = tool("tcpclient", 6131, *AWAIT_HOOK)
        lines = finish(server, reader)
        self.assertIn("connect error=%d hooked=1" % WSAEACCES, client.stdout)
        self.assertIn("accept error=timeout", lines)

    def test_udp_datagrams_are_decided_on_both_ends(self):
        receiver = start_tool("udpreceiver", 6141, *AWAIT_HOOK, "--count", 1, "--timeout", 60000)
        reader = LineReader(receiver)
        reader.wait_for("listening")
        sender = tool("udpsender", 6141, *AWAIT_HOOK, "--message", "datagram-one")
        lines = finish(receiver, reader)
        self.assertEqual(lines_with(sender.stdout.splitlines(), "sendto")[0]["result"], 12)
        self.assertTrue(any(line.startswith("recvfrom n=12") and line.endswith("data=datagram-one") for line in lines))
        sendto = self.events("udpsender.exe")
        recvfrom = self.events("udpreceiver.exe")
        self.assertEqual([e["op"] for e in sendto], [NETWORK_OPS["SENDTO"]])
        self.assertEqual(sendto[0]["remote"], "127.0.0.1:6141")
        self.assertEqual([e["op"] for e in recvfrom], [NETWORK_OPS["BIND"], NETWORK_OPS["RECVFROM"]])
        self.assertEqual(recvfrom[1]["payload"], "datagram-one")
        self.assertEqual(recvfrom[1]["local"], "127.0.0.1:6141")

        self.firewall.answer("--drop-op", NETWORK_OPS["SENDTO"])
        receiver = start_tool("udpreceiver", 6142, *AWAIT_HOOK, "--count", 1, "--timeout", 3000)
        reader = LineReader(receiver)
        reader.wait_for("listening")
        sender = tool("udpsender", 6142, *AWAIT_HOOK)
        self.assertEqual(lines_with(sender.stdout.splitlines(), "sendto")[0]["error"], WSAEACCES)
        self.assertIn("recvfrom error=timeout", finish(receiver, reader))

    def test_busy_answers_are_asked_again_until_decided(self):
        server, reader = start_server(6151)
        self.firewall.answer("--busy", 3)
        client = tool("tcpclient", 6151, *AWAIT_HOOK, "--message", "patient")
        finish(server, reader)
        self.assertEqual(lines_with(client.stdout.splitlines(), "send")[0]["result"], 7)
        connects = [e for e in self.events("tcpclient.exe") if e["op"] == NETWORK_OPS["CONNECT"]]
        self.assertEqual([e["busy"] for e in connects], [1, 1, 1, 0])  # the same connect, asked four times

    def test_speed_limit_holds_a_bulk_transfer_near_the_rate(self):
        self.firewall.answer("--speed", 64)
        server, reader = start_server(6161, "--quiet")
        client = tool("tcpclient", 6161, *AWAIT_HOOK, "--bulk", 40000, "--chunk", 1000, timeout=120)
        finish(server, reader)
        bulk = lines_with(client.stdout.splitlines(), "bulk")[0]
        self.assertEqual(bulk["sent"], 40000)
        rate = float(client.stdout.split("bytes_per_s=")[1].split()[0])
        self.assertAlmostEqual(rate, 8000, delta=8000 * 0.2)  # 64 Kbit/s are 8000 bytes a second

    def test_unlimited_bulk_transfer_is_not_throttled(self):
        server, reader = start_server(6162, "--quiet")
        client = tool("tcpclient", 6162, *AWAIT_HOOK, "--bulk", 40000, "--chunk", 1000, timeout=120)
        lines = finish(server, reader)
        self.assertIn("total bytes=40000", lines[-1])
        self.assertGreater(float(client.stdout.split("bytes_per_s=")[1].split()[0]), 8000 * 2)


class FirewallGoneTest(unittest.TestCase):
    def test_program_goes_on_when_the_firewall_is_killed_while_it_sends(self):
        firewall = FakeFirewall("--delay", 2000)
        try:
            server, reader = start_server(6171, "--quiet")
            # Every answer of this firewall comes 2 s late, also to the programs it placed into at
            # its start; in a prefix still starting its services the hook came after 20 s once.
            client = start_tool("tcpclient", 6171, "--await-hook", 90000, "--repeat", 30, "--interval", 100)
            output = LineReader(client)
            # Each of the client's calls before its connect waits 2 s for the delayed answer too.
            output.wait_for("connect ok hooked=1", timeout=120)
            output.wait_for("send i=0", timeout=60)
            firewall.kill()
            started = time.time()
            client.wait(timeout=30)
            lines = output.rest()
            self.assertLess(time.time() - started, 15)
            sends = lines_with(lines, "send")
            self.assertEqual(len(sends), 30)
            self.assertTrue(all(s["result"] == 5 for s in sends[-10:]), sends)
            finish(server, reader)
        finally:
            firewall.stop()
            firewall.__exit__()


class RemovalTest(unittest.TestCase):
    def test_after_removal_calls_pass_with_no_event_and_no_hook(self):
        firewall = FakeFirewall()
        server, reader = start_server(6181, "--quiet", "--timeout", 30000)
        client = start_tool("tcpclient", 6181, *AWAIT_HOOK, "--repeat", 50, "--interval", 100)
        output = LineReader(client)
        output.wait_for("send i=5", timeout=30)
        removal = firewall.stop()
        client.wait(timeout=60)
        lines = output.rest()
        finish(server, reader)
        self.assertEqual(removal["remove"], 1)
        sends = lines_with(lines, "send")
        self.assertEqual([s["result"] for s in sends], [5] * 50)
        hooked = [s["hooked"] for s in sends]
        self.assertEqual(hooked[0], 1)
        self.assertEqual(hooked[-1], 0)
        self.assertEqual(hooked, sorted(hooked, reverse=True))
        self.assertIn("end loaded=0", lines, "the library unloaded itself")
        reported = [e for e in firewall.events_of("tcpclient.exe", kind="net") if e["op"] == NETWORK_OPS["SEND"]]
        self.assertLessEqual(len(reported), hooked.count(1))
        self.assertGreater(len(reported), 0)
        firewall.__exit__()


if __name__ == "__main__":
    unittest.main()
