#!/usr/bin/env python3
"""Talks to the VESSNET wire server under Wine from Linux over loopback TCP.

Usage: wire_test.py WINE_RUN_SCRIPT BUILD_DIR SERVER_EXE
Every wait is bounded; the server is told to quit at the end and killed if it does not.
"""
import socket
import subprocess
import sys
import threading
import time

HOST = "127.0.0.1"


class Server:
    def __init__(self, wine_run, build, exe):
        self.proc = subprocess.Popen(
            [wine_run, "run", build, exe, "0", "100"],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.events = []
        self.lock = threading.Lock()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        line = self.wait_event(lambda e: e.startswith("PORT ") or e == "START FAILED", 60)
        if line is None or not line.startswith("PORT "):
            raise RuntimeError("server did not start: %r" % line)
        self.port = int(line.split()[1])

    def _read(self):
        for raw in self.proc.stdout:
            with self.lock:
                self.events.append(raw.decode("latin-1").rstrip("\r\n"))

    def mark(self):
        with self.lock:
            return len(self.events)

    def wait_event(self, match, timeout=5, start=0):
        deadline = time.time() + timeout
        while time.time() < deadline:
            with self.lock:
                for e in self.events[start:]:
                    if match(e):
                        return e
            time.sleep(0.02)
        return None

    def stop(self):
        if self.proc.poll() is None:
            try:
                with socket.create_connection((HOST, self.port), timeout=5) as s:
                    s.sendall(b"QUIT\r\n")
                    self.proc.wait(timeout=15)
            except Exception:
                pass
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait(timeout=10)
        return self.proc.returncode


class Conn:
    """A client; connect() waits until the server has reported the connection."""

    def __init__(self, server):
        self.server = server
        mark = server.mark()
        self.sock = socket.create_connection((HOST, server.port), timeout=5)
        ev = server.wait_event(lambda e: e.startswith("CONNECTED "), 5, mark)
        if ev is None:
            raise AssertionError("server did not report the connection")
        self.id = ev.split()[1]

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def send(self, data):
        self.sock.sendall(data)

    def recv_exact(self, n, timeout=5):
        data = b""
        deadline = time.time() + timeout
        while len(data) < n and time.time() < deadline:
            self.sock.settimeout(max(0.01, deadline - time.time()))
            try:
                piece = self.sock.recv(n - len(data))
            except socket.timeout:
                break
            if not piece:
                break
            data += piece
        return data

    def recv_quiet(self, quiet=0.3):
        data = b""
        self.sock.settimeout(quiet)
        for _ in range(10000):
            try:
                piece = self.sock.recv(65536)
            except socket.timeout:
                break
            if not piece:
                break
            data += piece
        return data

    def closed_by_server(self, timeout=5):
        deadline = time.time() + timeout
        while time.time() < deadline:
            self.sock.settimeout(0.2)
            try:
                if self.sock.recv(4096) == b"":
                    return True
            except socket.timeout:
                continue
            except OSError:
                return True
        return False

    def close(self):
        if self.sock is None:
            return
        mark = self.server.mark()
        self.sock.close()
        self.sock = None
        self.server.wait_event(lambda e: e == "DISCONNECTED " + self.id, 5, mark)


def expect(got, want, what):
    if got != want:
        raise AssertionError("%s: got %r, want %r" % (what, got[:120], want[:120]))


def test_line_endings(srv):
    with Conn(srv) as c:
        for piece in (b"12\r\n", b"12\n\r", b"12\x00", b"12\r", b"\r\n\r\n", b"ECHO end\r\n"):
            c.send(piece)
            time.sleep(0.05)
        want = b"LEN 2\r\n" * 4 + b"end\r\n"
        expect(c.recv_exact(len(want)), want, "replies")
        expect(c.recv_quiet(), b"", "nothing more")


def test_line_split_over_reads(srv):
    with Conn(srv) as c:
        for piece in (b"ECHO sp", b"lit li", b"ne\r\n"):
            c.send(piece)
            time.sleep(0.2)
        expect(c.recv_exact(12), b"split line\r\n", "echo")


def test_two_lines_in_one_send(srv):
    with Conn(srv) as c:
        c.send(b"ECHO a\r\nECHO b\n")
        expect(c.recv_exact(6), b"a\r\nb\r\n", "echoes")


def test_line_length_limits(srv):
    with Conn(srv) as c:
        c.send(b"x" * 2047 + b"\r")
        expect(c.recv_exact(10), b"LEN 2047\r\n", "2047 characters")
        c.send(b"y" * 2048 + b"z\r\n")
        expect(c.recv_exact(14), b"DROPPED 2049\r\n", "2049 characters, dropped whole")
        c.send(b"A" * 2048 + b"ECHO smuggled\r\nECHO next\r\n")
        expect(c.recv_exact(20), b"DROPPED 2061\r\nnext\r\n", "no tail runs as a command")
        expect(c.recv_quiet(), b"", "nothing more")


def test_send_cut_offs(srv):
    with Conn(srv) as c, Conn(srv) as d:
        for n, end in ((2044, b"\r\n"), (2045, b"\r"), (2046, b"")):
            c.send(b"PAD %d\r\n" % n)
            want = b"a" * n + end
            expect(c.recv_exact(len(want)), want, "PAD %d" % n)
            expect(c.recv_quiet(0.2), b"", "PAD %d tail" % n)
        c.send(b"PADALL 2046\r\n")
        want = b"a" * 2046 + b"\x00"
        expect(c.recv_exact(len(want)), want, "PADALL to sender")
        expect(d.recv_exact(len(want)), want, "PADALL to other")


def test_single_and_all(srv):
    with Conn(srv) as c, Conn(srv) as d:
        c.send(b"ECHO 5\r\n")
        expect(c.recv_exact(3), b"5\r\n", "ECHO")
        expect(c.recv_quiet(0.2), b"", "no NUL")
        c.send(b"ALL 5\r\n")
        expect(c.recv_exact(4), b"5\r\n\x00", "ALL to sender")
        expect(d.recv_exact(4), b"5\r\n\x00", "ALL to other")


def test_tokens(srv):
    with Conn(srv) as a, Conn(srv) as b, Conn(srv) as c:
        for conn, tok in ((a, b"7"), (b, b"7"), (c, b"8")):
            mark = srv.mark()
            conn.send(b"TOKEN " + tok + b"\r\n")
            if srv.wait_event(lambda e: e.startswith("LINE %s TOKEN" % conn.id), 5, mark) is None:
                raise AssertionError("TOKEN not seen")
        c.send(b"SEND 7 hi\r\n")
        expect(a.recv_exact(5), b"hi\r\n\x00", "lower slot")
        expect(b.recv_quiet(0.3), b"", "higher slot")
        c.send(b"CAST 7 yo\r\n")
        expect(a.recv_exact(5), b"yo\r\n\x00", "CAST a")
        expect(b.recv_exact(5), b"yo\r\n\x00", "CAST b")
        expect(c.recv_quiet(0.3), b"", "CAST not to token 8")
        c.send(b"SEND 9 none\r\nCAST 9 none\r\n")
        for conn in (a, b, c):
            expect(conn.recv_quiet(0.2), b"", "unknown token")


def test_connection_count(srv):
    a, b, c = Conn(srv), Conn(srv), Conn(srv)
    try:
        b.close()
        a.send(b"COUNT\r\n")
        expect(a.recv_exact(9), b"COUNT 2\r\n", "count")
    finally:
        a.close()
        c.close()


def test_kick_closes_and_reports_once(srv):
    c = Conn(srv)
    mark = srv.mark()
    c.send(b"KICK\r\n")
    if not c.closed_by_server():
        raise AssertionError("server did not close")
    if srv.wait_event(lambda e: e == "DISCONNECTED " + c.id, 5, mark) is None:
        raise AssertionError("no DISCONNECTED")
    time.sleep(0.3)
    with srv.lock:
        n = sum(1 for e in srv.events[mark:] if e == "DISCONNECTED " + c.id)
    expect(n, 1, "DISCONNECTED count")
    c.sock.close()
    c.sock = None


def stream_record(i):
    """What SendToAllClients puts on the wire for flood line i."""
    length = 1 + i * 7919 % 2047
    text = bytes(ord("a") + (i + j) % 26 for j in range(length))
    if length <= 2044:
        text += b"\r\n"
    elif length == 2045:
        text += b"\r"
    return text + b"\x00"


def check_stream(data, count):
    """Whole records in order, cut or merged ones, and whether an unfinished one ends it."""
    whole = cut = 0
    records = data.split(b"\x00")
    tail = records.pop()  # after the last NUL: empty unless the stream ended mid-record
    for i, rec in enumerate(records):
        if i < count and rec + b"\x00" == stream_record(i):
            whole += 1
        else:
            cut += 1
    tail_ok = not tail or stream_record(len(records)).startswith(tail)
    return whole, cut, bool(tail), tail_ok


def test_slow_reader_gets_whole_lines_or_is_closed(srv):
    count, batch, stall = 10000, 16, 3.0
    slow_sock = socket.socket()
    slow_sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    mark = srv.mark()
    slow_sock.connect((HOST, srv.port))
    if srv.wait_event(lambda e: e.startswith("CONNECTED "), 5, mark) is None:
        raise AssertionError("slow client not reported")
    slow_sock.sendall(b"SMALLBUF\r\n")
    slow_data = bytearray()
    slow_closed = []

    def slow_reader():
        time.sleep(stall)
        slow_sock.settimeout(20)
        try:
            while True:
                piece = slow_sock.recv(65536)
                if not piece:
                    slow_closed.append(True)
                    return
                slow_data.extend(piece)
        except OSError:
            slow_closed.append(True)

    reader = threading.Thread(target=slow_reader, daemon=True)
    reader.start()
    with Conn(srv) as good:
        total = sum(len(stream_record(i)) for i in range(count))
        good.send(b"FLOOD %d\r\n" % count)
        data = bytearray()
        good.sock.settimeout(20)
        nuls = 0
        while len(data) < total:
            piece = good.sock.recv(65536)
            if not piece:
                break
            data.extend(piece)
            was = nuls
            nuls += piece.count(b"\x00")
            if nuls // batch > was // batch:
                good.send(b"MORE\r\n")
        reader.join(60)
        g = check_stream(bytes(data), count)
        s = check_stream(bytes(slow_data), count)
        overflow = sum(1 for e in srv.events if e.startswith("TRACE0 Output queue full, socket "))
        print("     figures: lines sent %d to each; good client %d whole, %d cut; slow client %d whole, "
              "%d cut, unfinished last record %s, closed %s; connections closed for overflow %d"
              % (count, g[0], g[1], s[0], s[1], "yes" if s[2] else "no", "yes" if slow_closed else "no", overflow))
        expect(g[:3], (count, 0, False), "good client")
        expect((s[1], s[3]), (0, True), "slow client: no cut line")
        if s[0] < count:
            expect(bool(slow_closed), True, "slow client closed")
            expect(overflow, 1, "overflow trace")
    slow_sock.close()


def main():
    wine_run, build, exe = sys.argv[1:4]
    srv = Server(wine_run, build, exe)
    tests = [t for name, t in sorted(globals().items()) if name.startswith("test_")]
    passed = failed = 0
    try:
        for t in tests:
            try:
                t(srv)
                passed += 1
                print("ok   %s" % t.__name__)
            except Exception as e:  # one failing case must not hide the others
                failed += 1
                print("FAIL %s: %s" % (t.__name__, e))
            sys.stdout.flush()
    finally:
        rc = srv.stop()
    stopped = srv.wait_event(lambda e: e == "STOPPED", 5) is not None
    if rc != 0 or not stopped:
        failed += 1
        print("FAIL server end: exit %r, stopped %r" % (rc, stopped))
    else:
        passed += 1
        print("ok   server quits on QUIT")
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
