"""A scripted stand-in for the service on a local port, for protocol cases the real one cannot be
made to produce on demand (answers out of order, drops at a chosen moment)."""
import socket
import threading

from telvarix_zarn.lines import parse_line

WELCOME = "{Event:Welcome}{Service:Telvarix}{Protocol:ZARN 1}{Offers:ZARN 2}{Login:NotNeeded}{Hint:x}"


class FakeConnection:
    def __init__(self, sock):
        self.sock = sock
        self.received = []

    def send(self, *lines):
        try:
            self.sock.sendall(b"".join(line.encode("cp1252") + b"\r\n" for line in lines))
        except OSError:
            pass

    def send_raw(self, data):
        self.sock.sendall(data)

    def drop(self):
        try:
            self.sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass


class FakeService:
    """Accepts connections; `handler(conn, fields)` answers each command line."""

    def __init__(self, handler, welcome=WELCOME):
        self.handler = handler
        self.welcome = welcome
        self.connections = []
        self.lock = threading.Condition()
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(8)
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                sock, _ = self.listener.accept()
            except OSError:
                return
            conn = FakeConnection(sock)
            with self.lock:
                self.connections.append(conn)
                self.lock.notify_all()
            threading.Thread(target=self._serve, args=(conn,), daemon=True).start()

    def _serve(self, conn):
        conn.send(self.welcome)
        buf = b""
        while True:
            try:
                data = conn.sock.recv(4096)
            except OSError:
                return
            if not data:
                return
            buf += data
            while b"\r\n" in buf:
                raw, buf = buf.split(b"\r\n", 1)
                fields = parse_line(raw.decode("cp1252"))
                with self.lock:
                    conn.received.append(fields)
                    self.lock.notify_all()
                self.handler(conn, fields)

    def wait_connections(self, count, timeout=5):
        with self.lock:
            self.lock.wait_for(lambda: len(self.connections) >= count, timeout)
            return list(self.connections)

    def wait_received(self, conn, predicate, timeout=5):
        with self.lock:
            ok = self.lock.wait_for(lambda: any(f and predicate(f) for f in conn.received), timeout)
        if not ok:
            raise AssertionError("the fake service did not receive it; got %r" % conn.received)

    def close(self):
        self.listener.close()
        for conn in self.connections:
            conn.drop()
            conn.sock.close()


def ok(fields, **extra):
    """The Ok answer to a command line, echoing Cmd, InvokeId and Ext."""
    out = {"Response": "Ok", "Cmd": fields["Cmd"], "InvokeId": fields.get("InvokeId")}
    if "Ext" in fields:
        out["Ext"] = fields["Ext"]
    out.update(extra)
    return "".join("{%s:%s}" % (k, v) for k, v in out.items() if v is not None)
