"""The client against TELVARIX.EXE under Wine on the simulated PBX.

Needs TVX_WINE_RUN, TVX_BUILD and TVX_EXE (the ctest entry sets them); skipped without them.
"""
import os
import sys
import time
import unittest

from telvarix_zarn import Client, ZarnError

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "host", "tests"))
import zarn_client  # noqa: E402  the service's own start-up code for its end-to-end tests

WINE = [os.environ.get(k) for k in ("TVX_WINE_RUN", "TVX_BUILD", "TVX_EXE")]
WAIT = 10


def wait_event(client, match, timeout=WAIT):
    """Events up to and including the first that matches."""
    seen = []
    deadline = time.time() + timeout
    while time.time() < deadline:
        event = client.next_event(max(0.01, deadline - time.time()))
        if event is None:
            continue
        seen.append(event)
        if match(event):
            return seen
    raise AssertionError("no matching event; got %r" % seen)


def wait_all(client, wanted, timeout=WAIT):
    """Events until each (name, ext) of wanted has been seen, in any order."""
    left = set(wanted)
    seen = []
    while left:
        seen += wait_event(client, lambda e: (e.name, e.ext) in left, timeout)
        left.discard((seen[-1].name, seen[-1].ext))
    return seen


def named(name, ext):
    return lambda e: e.name == name and e.ext == ext


@unittest.skipUnless(all(WINE), "set TVX_WINE_RUN, TVX_BUILD and TVX_EXE to run against the service")
class _WithService(unittest.TestCase):
    name = "pyclient"

    @classmethod
    def setUpClass(cls):
        # --show-events keeps every line open, so a line's events survive a client's absence.
        cls.host = zarn_client.Host(*WINE, cls.name, extra_args=["--show-events"],
                                    env={"TVX_SIM_ONHOOK_AFTER_MS": "500"})

    @classmethod
    def tearDownClass(cls):
        cls.host.stop()

    def client(self, **options):
        c = Client(port=self.host.port, backoff=(0.3, 1.0), **options).connect()
        self.addCleanup(c.close)
        return c



class Service(_WithService):
    """What every service offers."""

    def test_call_between_two_lines(self):
        c = self.client()
        for ext in ("201", "202"):
            self.assertEqual(c.monitor(ext).result(WAIT)["Ext"], ext)
        done = c.make_call("201", "202").result(WAIT)
        self.assertEqual((done.response, done.success, done.accepted.response), ("Done", True, "Accepted"))
        wait_event(c, named("CallReceived", "202"))
        self.assertTrue(c.answer_call("202").result(WAIT).success)
        wait_event(c, named("CallEstablished", "201"))
        c.clear_connection("201").result(WAIT)
        events = wait_all(c, [("CallCleared", "201"), ("CallCleared", "202")])
        record = [e for e in events if e.name == "CallRecord" and e.ext == "201"]
        self.assertEqual([(r["Direction"], r["Connected"], r["Number"]) for r in record], [("Out", "1", "202")])
        if c.protocol == 2:
            seqs = [e.seq for e in events if e.seq is not None]
            self.assertTrue(seqs and seqs == sorted(set(seqs)), seqs)

    def test_answers_and_errors(self):
        c = self.client()
        devices = c.get_devices().result(WAIT)
        self.assertEqual(sorted(d["Ext"] for d in devices.data), ["201", "202", "203", "205"])
        self.assertEqual(devices["Count"], "4")
        with self.assertRaises(ZarnError) as caught:
            c.call("MonitorStart", Ext="1201")
        self.assertEqual(caught.exception.code, "UnknownExtension")
        with self.assertRaises(ZarnError) as caught:
            c.answer_call("203").result(WAIT)
        self.assertEqual(caught.exception.code, "NotMonitored")
        self.assertEqual(c.ping().result(WAIT).response, "Ok")  # still in step after the errors

    def test_reconnect_monitors_again(self):
        c = self.client()
        c.monitor("203").result(WAIT)
        c._conn.shutdown()  # the connection breaks as a network would break it
        events = wait_event(c, lambda e: e.name == "Reconnected")
        self.assertIn("Disconnected", [e.name for e in events])
        done = c.make_call("203", "205").result(WAIT)  # needs the monitor on the new connection
        self.assertTrue(done.success)
        wait_event(c, named("CallDelivered", "203"))
        c.clear_connection("203").result(WAIT)
        wait_event(c, named("CallCleared", "203"))
        if not c.offers_resume:
            self.assertIn("Gap", [e.name for e in events])  # nothing to resume from



class Resume(_WithService):
    """Sequence numbers, resume, filters and JSON: only where the service offers ZARN 2."""
    name = "pyclient-resume"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        probe = Client(port=cls.host.port).connect()
        probe.close()
        if not probe.offers_resume:
            cls.host.stop()
            raise unittest.SkipTest("service without ZARN 2 (its Welcome offers no ZARN 2)")

    def test_resume_delivers_what_was_missed_once(self):
        c = self.client()
        c.monitor("201").result(WAIT)
        keeper = zarn_client.Client(self.host)
        self.addCleanup(keeper.close)
        keeper.request("{Cmd:MonitorStart}{Ext:201}", "MonitorStart", "Ok")
        keeper.request("{Cmd:MonitorStart}{Ext:202}", "MonitorStart", "Ok")
        c.reconnect = False
        c._conn.shutdown()
        wait_event(c, lambda e: e.name == "Disconnected")
        # While the client is away, a call comes and goes on its line.
        keeper.request("{Cmd:MakeCall}{InvokeId:k1}{Ext:201}{Dest:202}", "MakeCall", "Accepted")
        keeper.expect(lambda f: f.get("Event") == "CallDelivered" and f.get("Ext") == "201", WAIT)
        keeper.request("{Cmd:ClearConnection}{InvokeId:k2}{Ext:201}", "ClearConnection", "Accepted")
        keeper.expect(lambda f: f.get("Event") == "CallCleared" and f.get("Ext") == "201", WAIT)
        c.reconnect = True
        c._reconnect_loop()
        missed = wait_event(c, named("CallCleared", "201"))
        self.assertEqual(c.last_resume.get("Reason"), "Closed")
        line = [e for e in missed if e.ext == "201"]
        self.assertIn("CallOriginated", [e.name for e in line])
        self.assertTrue(all(e.replayed for e in line), line)
        seqs = [e.seq for e in line]
        self.assertEqual(seqs, sorted(set(seqs)))
        self.assertNotIn("Gap", [e.name for e in missed])

    def test_json_and_filter(self):
        c = self.client(json=True, event_filter=["CallReceived", "CallCleared"])
        c.monitor("205").result(WAIT)
        c.monitor("203").result(WAIT)
        c.make_call("205", "203").result(WAIT)
        events = wait_event(c, named("CallReceived", "203"))
        c.clear_connection("205").result(WAIT)
        events += wait_event(c, named("CallCleared", "203"))
        live = [e for e in events if e.seq is not None]
        self.assertTrue(live and all(e.time for e in live), live)
        self.assertEqual({e.name for e in live}, {"CallReceived", "CallCleared"})


if __name__ == "__main__":
    unittest.main()
