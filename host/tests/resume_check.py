#!/usr/bin/env python3
"""A ZARN 2 client killed in the middle of 10,000 events comes back with Since and misses nothing.

Usage: resume_check.py WINE_RUN_SCRIPT BUILD_DIR TELVARIX_EXE [EVENTS]
The simulated PBX's control port rings extension 201 and hangs up, again and again, until the service
has produced EVENTS (10000) events of line 201. A reference client monitors the line all along. The
client under test runs in a process of its own that writes every line it receives to a file and is
killed (SIGKILL) half-way; a new connection then sends MonitorStart with Since, its highest Seq.
Passes when the events received before the kill and after the reconnect are together exactly the
events the service sent, none twice.
"""
import os
import signal
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from zarn_client import Client, Host, SimControl, fields, free_port  # noqa: E402

VICTIM = r'''
import socket, sys
port, path = int(sys.argv[1]), sys.argv[2]
sock = socket.create_connection(("127.0.0.1", port))
sock.sendall(b"{Cmd:SetProtocol}{Value:2}\r\n{Cmd:MonitorStart}{Ext:201}\r\n")
out = open(path, "wb", buffering=0)
buf = b""
while True:
    data = sock.recv(65536)
    if not data:
        break
    buf += data
    lines = buf.split(b"\r\n")
    buf = lines.pop()
    if lines:
        out.write(b"".join(l + b"\n" for l in lines))
'''


def seqs_of(lines, ext="201"):
    found = []
    for line in lines:
        f = fields(line)
        if f and "Event" in f and f.get("Ext") == ext and "Seq" in f:
            found.append(int(f["Seq"]))
    return found


def main():
    wine_run, build, exe = sys.argv[1:4]
    wanted = int(sys.argv[4]) if len(sys.argv) > 4 else 10000
    control_port = free_port()
    host = Host(wine_run, build, exe, "resume_check", {"EventRing": "100000", "UseProtocol": "1"},
                env={"TVX_SIM_CONTROL_PORT": str(control_port)})
    victim = None
    try:
        ref = Client(host)
        ref.request("{Cmd:SetProtocol}{Value:2}", "SetProtocol", "Ok")
        ref.request("{Cmd:MonitorStart}{Ext:201}", "MonitorStart", "Ok")
        path = os.path.join(host.folder, "victim.txt")
        victim = subprocess.Popen([sys.executable, "-c", VICTIM, str(host.port), path])
        deadline = time.time() + 30
        while time.time() < deadline and b"{Response:Ok}{Cmd:MonitorStart}" not in (
                open(path, "rb").read() if os.path.exists(path) else b""):
            time.sleep(0.1)

        # Events from before the client monitored the line (the line's open) are not its business.
        earlier = set(seqs_of(ref.all_lines()))
        control = SimControl(control_port)
        produced = lambda: len(seqs_of(ref.all_lines())) - len(earlier)
        failures = []

        def drive():
            try:
                calls = 0
                while produced() < wanted:
                    answers = control.run(["ring 0301234 201", "hangup 201"] * 20)
                    failures.extend(a for a in answers if not a.startswith("OK"))
                    if failures:
                        return
                    calls += 20
                    # The PBX answers at once; the service works its messages off in order: keep pace.
                    while sum(1 for l in ref.all_lines() if l.startswith("{Event:CallCleared}")) < calls:
                        time.sleep(0.02)
            except Exception as e:  # reported by the main thread
                failures.append(repr(e))

        started = time.time()
        driver = threading.Thread(target=drive, daemon=True)
        driver.start()

        def wait_for(count):
            while produced() < count and driver.is_alive():
                time.sleep(0.05)

        wait_for(wanted // 2)
        victim.send_signal(signal.SIGKILL)
        victim.wait()
        before = seqs_of(open(path, "rb").read().decode("latin-1").split("\n"))
        # Back while the events still flow: the replay must meet the live events exactly.
        wait_for(wanted * 6 // 10)
        back = Client(host)
        since = max(before) if before else 0
        back.send("{Cmd:MonitorStart}{InvokeId:r}{Ext:201}{Since:%d}" % since)
        done = back.expect_answer("MonitorStart", "Ok", 30, InvokeId="r")
        driver.join()
        control.close()
        if failures:
            raise AssertionError("control port: %r" % failures[:3])
        # Everything the service produced has reached both clients once they are quiet.
        last = None
        while last != (produced(), len(back.all_lines())):
            last = (produced(), len(back.all_lines()))
            time.sleep(1.5)
        sent = [q for q in seqs_of(ref.all_lines()) if q not in earlier]
        after = seqs_of(back.all_lines())
        replayed = sum(1 for l in back.all_lines() if "{Replay:1}" in l)
        print("events sent %d in %.0f s; received before the kill %d; after the reconnect %d (%d replayed); "
              "answer %r" % (len(sent), time.time() - started, len(before), len(after), replayed, done))
        ok = True
        if "Gap" in done:
            print("FAILED: a gap, the ring should reach back")
            ok = False
        if len(set(before)) != len(before) or len(set(after)) != len(after) or set(before) & set(after):
            print("FAILED: an event arrived twice")
            ok = False
        if sorted(before + after) != sorted(sent):
            missing = sorted(set(sent) - set(before) - set(after))
            extra = sorted(set(before + after) - set(sent))
            print("FAILED: before + after is not what was sent; missing %r..., extra %r..." % (missing[:5], extra[:5]))
            ok = False
        if len(sent) < wanted:
            print("FAILED: only %d events" % len(sent))
            ok = False
        print("before %d + after %d = %d, sent %d, none twice: %s"
              % (len(before), len(after), len(before) + len(after), len(sent), "yes" if ok else "NO"))
        return 0 if ok else 1
    except AssertionError as e:
        print("FAILED:", e)
        print("---- service output ----\n" + host.text()[-5000:])
        return 1
    finally:
        if victim and victim.poll() is None:
            victim.kill()
        host.stop()


if __name__ == "__main__":
    sys.exit(main())
