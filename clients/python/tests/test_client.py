"""The client against a scripted fake service: answer matching, connection loss, reconnect and resume."""
import threading
import unittest

from fake_service import FakeService, ok
from telvarix_zarn import Client, ConnectionClosed, ZarnError

WAIT = 5


def events_until(client, name, limit=50):
    seen = []
    for _ in range(limit):
        event = client.next_event(WAIT)
        if event is None:
            break
        seen.append(event)
        if event.name == name:
            return seen
    raise AssertionError("no %s; events %r" % (name, seen))


class Answers(unittest.TestCase):
    def setUp(self):
        self.held = {}

        def handler(conn, f):
            cmd = f["Cmd"]
            if cmd == "MakeCall":  # accepted now, done after the next command was answered
                conn.send("{Response:Accepted}{Cmd:MakeCall}{InvokeId:%s}{Ext:201}{RequestId:3}" % f["InvokeId"])
                self.held["make"] = f["InvokeId"]
            elif cmd == "Ping":
                conn.send(ok(f, Time="2026-12-08 14:00:00"))
                make = self.held.pop("make", None)
                if make:
                    conn.send("{Response:Done}{Cmd:MakeCall}{InvokeId:%s}{Ext:201}{Success:1}{Result:0}" % make,
                              "{Response:Done}{Cmd:MakeCall}{InvokeId:%s}{Ext:201}{Step:Late}{Success:0}" % make)
            elif cmd == "GetDevices":
                conn.send("{Data:Device}{InvokeId:%s}{Ext:201}" % f["InvokeId"],
                          "{Data:Device}{InvokeId:%s}{Ext:202}" % f["InvokeId"], ok(f, Count=2))
            elif cmd == "HoldCall":  # an answer whose InvokeId the service could not read
                conn.send("{Response:Error}{Cmd:HoldCall}{Error:NoSuitableCall}{Field:Call}{Text:no call}")
            elif cmd == "MonitorStart":
                conn.send('{"Event":"CallReceived","Ext":"201","Call":"7","Seq":"5"}', ok(f))
            elif cmd == "SetProtocol":
                conn.send(ok(f, Protocol="ZARN 2", Session="00112233aabbccdd", LastSeq=0))
            else:
                conn.send(ok(f))

        self.service = FakeService(handler)
        self.client = Client(port=self.service.port, reconnect=False).connect()

    def tearDown(self):
        self.client.close()
        self.service.close()

    def test_accepted_command_resolves_with_its_done(self):
        make = self.client.make_call("201", "202")
        ping = self.client.ping()
        self.assertEqual(ping.result(WAIT)["Time"], "2026-12-08 14:00:00")
        done = make.result(WAIT)
        self.assertEqual((done.response, done.success, done.get("Step")), ("Done", True, None))
        self.assertEqual(done.accepted["RequestId"], "3")
        self.assertEqual(self.client.call("Ping").response, "Ok")  # the later step bothers nobody

    def test_data_lines_and_errors(self):
        devices = self.client.get_devices().result(WAIT)
        self.assertEqual([d["Ext"] for d in devices.data], ["201", "202"])
        with self.assertRaises(ZarnError) as caught:
            self.client.call("HoldCall", Ext="201")
        e = caught.exception
        self.assertEqual((e.code, e.field, e.text, e.cmd), ("NoSuitableCall", "Call", "no call", "HoldCall"))
        self.assertEqual(self.client.session, "00112233aabbccdd")

    def test_bad_value_sends_nothing(self):
        with self.assertRaises(ValueError):
            self.client.make_call("201", "202}{Cmd:Quit")
        self.client.call("Ping")
        conn = self.service.connections[0]
        self.assertFalse(any(f.get("Cmd") == "MakeCall" for f in conn.received))

    def test_callback_may_wait_for_a_command(self):
        answers = []
        called = threading.Event()

        def on_event(event):
            if event.name == "CallReceived":
                answers.append((event.call, event.seq, client.call("Ping", timeout=WAIT).response))
                called.set()

        client = Client(port=self.service.port, reconnect=False, on_event=on_event).connect()
        self.addCleanup(client.close)
        client.monitor("201").result(WAIT)
        self.assertTrue(called.wait(WAIT))
        self.assertEqual(answers, [("7", 5, "Ok")])

    def test_loss_fails_what_is_pending(self):
        make = self.client.make_call("201", "202")
        self.service.wait_received(self.service.connections[0], lambda f: f["Cmd"] == "MakeCall")
        self.service.connections[0].drop()
        with self.assertRaises(ConnectionClosed):
            make.result(WAIT)
        events_until(self.client, "Disconnected")
        with self.assertRaises(ConnectionClosed):
            self.client.ping().result(WAIT)


class Resume(unittest.TestCase):
    """First connection: events 11 and 12 of line 201, then the connection drops."""

    def start(self, monitor_answer, welcome=None, password=None, last_seq_then=44):
        self.sessions = iter(["aaaaaaaaaaaaaaaa", "bbbbbbbbbbbbbbbb", "cccccccccccccccc"])
        self.last_seq = 10

        def handler(conn, f):
            cmd = f["Cmd"]
            if cmd == "SetProtocol":
                conn.send(ok(f, Protocol="ZARN 2", Session=next(self.sessions), LastSeq=self.last_seq))
            elif cmd == "Resume":
                conn.send(ok(f, Session=f["Session"], Reason="Overflow", LastDelivered=11))
            elif cmd == "Login":
                conn.send(ok(f) if f["Password"] == "right" else
                          "{Response:Error}{Cmd:Login}{InvokeId:%s}{Error:BadPassword}" % f["InvokeId"])
            elif cmd == "MonitorStart" and "Since" not in f:
                conn.send("{Event:PhoneState}{Ext:201}{Active:0}", ok(f, LastSeq=10) if welcome is None else ok(f))
                conn.send("{Event:CallReceived}{Ext:201}{Call:1}%s" % ("{Seq:11}" if welcome is None else ""),
                          "{Event:CallCleared}{Ext:201}{Call:1}%s" % ("{Seq:12}" if welcome is None else ""))
            elif cmd == "MonitorStart":
                monitor_answer(conn, f)
            else:
                conn.send(ok(f))

        self.service = FakeService(handler, **({"welcome": welcome} if welcome else {}))
        self.client = Client(port=self.service.port, password=password, backoff=(0.05, 0.2)).connect()
        self.client.monitor("201").result(WAIT)
        first = events_until(self.client, "CallCleared")
        self.last_seq = last_seq_then  # what the service has issued when the client comes back
        self.service.connections[0].drop()
        return first

    def tearDown(self):
        self.client.close()
        self.service.close()

    def test_replay_is_delivered_once(self):
        def answer(conn, f):
            conn.send("{Event:CallCleared}{Ext:201}{Call:1}{Seq:12}{Replay:1}",
                      "{Event:CallReceived}{Ext:201}{Call:2}{Seq:13}{Replay:1}",
                      ok(f, Replayed=2, LastSeq=13),
                      "{Event:CallCleared}{Ext:201}{Call:2}{Seq:14}")

        first = self.start(answer)
        self.assertEqual([e.seq for e in first if e.seq], [11, 12])
        after = events_until(self.client, "CallCleared")
        self.assertEqual([(e.name, e.seq) for e in after],
                         [("Disconnected", None), ("CallReceived", 13), ("CallCleared", 14)])
        self.assertTrue(after[1].replayed)
        second = self.service.wait_connections(2)[1]
        sent = [f for f in second.received if f]
        self.assertEqual([f["Cmd"] for f in sent], ["SetProtocol", "Resume", "MonitorStart"])
        self.assertEqual(sent[1]["Session"], "aaaaaaaaaaaaaaaa")
        self.assertEqual(sent[2]["Since"], "12")  # its own number beats LastDelivered 11
        self.assertEqual(events_until(self.client, "Reconnected")[-1].get("Reason"), "Overflow")
        self.assertEqual(self.client.session, "bbbbbbbbbbbbbbbb")

    def test_gap_is_an_event(self):
        def answer(conn, f):
            conn.send("{Event:PhoneState}{Ext:201}{Active:1}", ok(f, Gap="13-40", LastSeq=44),
                      "{Event:CallCleared}{Ext:201}{Call:9}{Seq:45}")

        self.start(answer)
        after = events_until(self.client, "CallCleared")
        names = [e.name for e in after]
        self.assertEqual(names[:1] + names[-3:], ["Disconnected", "PhoneState", "Gap", "CallCleared"])
        gap = after[-2]
        self.assertTrue(gap.local)
        self.assertEqual((gap.ext, gap["First"], gap["Last"]), ("201", "13", "40"))
        # the next resume starts after what the gap answer said the line has reached
        self.last_seq = 45
        self.service.wait_connections(2)[1].drop()
        third = self.service.wait_connections(3)[2]
        self.service.wait_received(third, lambda f: f["Cmd"] == "MonitorStart" and f.get("Since") == "45")

    def test_restarted_service_numbers_anew(self):
        def answer(conn, f):
            raise AssertionError("no Since for a service that began its numbers anew: %r" % f)

        self.start(answer, last_seq_then=1)
        # the restarted service's own numbers are lower than any seen before, and still new
        after = events_until(self.client, "CallCleared")
        self.assertEqual([(e.name, e.seq) for e in after if e.name not in ("PhoneState", "Reconnected")],
                         [("Disconnected", None), ("Gap", None), ("CallReceived", 11), ("CallCleared", 12)])
        self.assertEqual([f["Cmd"] for f in self.service.connections[1].received], ["SetProtocol", "MonitorStart"])

    def test_service_without_sequence_numbers(self):
        welcome = "{Event:Welcome}{Service:Telvarix}{Protocol:ZARN 1}{Login:Required}"
        self.start(None, welcome=welcome, password="right")
        after = events_until(self.client, "Gap")
        self.assertEqual([e.name for e in after], ["Disconnected", "PhoneState", "Gap"])
        self.assertIsNone(after[-1].get("First"))
        second = self.service.wait_connections(2)[1]
        self.assertEqual([f["Cmd"] for f in second.received if f], ["Login", "MonitorStart"])
        self.assertEqual(self.client.protocol, 1)

    def test_wrong_password_is_an_error(self):
        service = FakeService(lambda conn, f: conn.send(
            "{Response:Error}{Cmd:Login}{InvokeId:%s}{Error:BadPassword}" % f["InvokeId"]),
            welcome="{Event:Welcome}{Login:Required}")
        self.client = Client(port=service.port, password="wrong")
        self.service = service
        with self.assertRaises(ZarnError) as caught:
            self.client.connect()
        self.assertEqual(caught.exception.code, "BadPassword")


if __name__ == "__main__":
    unittest.main()
