"""One TCP connection to the service: a reader thread, and the commands waiting for their answers."""
import itertools
import socket
import threading
from concurrent.futures import Future

from .errors import ConnectionClosed, ZarnError
from .lines import LineSplitter, encode_line, format_command, parse_line
from .messages import Answer

_invoke_ids = itertools.count(1)

IMMEDIATE = ("Ok", "Error", "Accepted")


class _Pending:
    __slots__ = ("cmd", "future", "data", "accepted")

    def __init__(self, cmd):
        self.cmd = cmd
        self.future = Future()
        self.data = []
        self.accepted = None


class Connection:
    """Sends command lines and matches answers to them by InvokeId.

    Every command gets one immediate answer, in the order sent; an answer without an InvokeId goes
    to the oldest command still waiting for one. `on_answer(fields)` runs on the reader thread for
    every final answer before its future is resolved; `on_event(fields)` for every event line;
    `on_closed(conn)` once, when the connection is gone.
    """

    def __init__(self, address, port, timeout, on_event, on_answer, on_closed):
        self.sock = socket.create_connection((address, port), timeout=timeout)
        self.sock.settimeout(None)
        self._on_event = on_event
        self._on_answer = on_answer
        self._on_closed = on_closed
        self._lock = threading.Lock()
        self._send_lock = threading.Lock()
        self._pending = {}
        self._awaiting = []  # invoke ids still waiting for their immediate answer, oldest first
        self._closed = False
        self.welcome = Future()
        self._reader = threading.Thread(target=self._read, name="zarn-reader", daemon=True)
        self._reader.start()

    # --- sending -----------------------------------------------------------------------------
    def command(self, cmd, fields):
        """A Future resolved with the command's final Answer, or failed with ZarnError or
        ConnectionClosed. Bad field values raise ValueError at once and send nothing."""
        invoke = "py%d" % next(_invoke_ids)
        line = format_command(cmd, dict(InvokeId=invoke, **fields))
        pending = _Pending(cmd)
        with self._lock:
            if self._closed:
                pending.future.set_exception(ConnectionClosed("not connected"))
                return pending.future
            self._pending[invoke] = pending
            self._awaiting.append(invoke)
        try:
            with self._send_lock:
                self.sock.sendall(encode_line(line))
        except OSError:
            self.shutdown()
        return pending.future

    def shutdown(self):
        """Ends the connection; the reader thread then fails what is pending."""
        try:
            self.sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass

    def close(self):
        self.shutdown()
        if threading.current_thread() is not self._reader:
            self._reader.join(5)

    @property
    def closed(self):
        with self._lock:
            return self._closed

    # --- receiving -----------------------------------------------------------------------------
    def _read(self):
        splitter = LineSplitter()
        try:
            while True:
                try:
                    data = self.sock.recv(65536)
                except OSError:
                    data = b""
                if not data:
                    break
                for text in splitter.feed(data):
                    fields = parse_line(text)
                    if fields is not None:
                        self._dispatch(fields)
        finally:
            self._finish()

    def _dispatch(self, fields):
        if "Event" in fields:
            if fields["Event"] in ("Welcome", "Refused") and not self.welcome.done():
                self.welcome.set_result(fields)
            self._on_event(fields)
        elif "Response" in fields:
            self._answer(fields)
        else:
            with self._lock:
                pending = self._pending.get(self._waiting(fields.get("InvokeId")))
            if pending is not None:
                pending.data.append(fields)

    def _waiting(self, invoke):
        """The command an immediate answer or data line belongs to: by InvokeId, else the oldest."""
        if invoke not in self._pending and self._awaiting:
            invoke = self._awaiting[0]
        return invoke

    def _answer(self, fields):
        response = fields["Response"]
        invoke = fields.get("InvokeId")
        if response in IMMEDIATE:
            with self._lock:
                invoke = self._waiting(invoke)
                if invoke in self._awaiting:
                    self._awaiting.remove(invoke)
                pending = self._pending.get(invoke)
                if pending is not None and response != "Accepted":
                    del self._pending[invoke]
            if pending is None:
                return
            if response == "Accepted":
                pending.accepted = Answer(fields)
                return
            self._resolve(pending, fields)
        elif response == "Done":
            with self._lock:
                pending = self._pending.pop(invoke, None)
            if pending is not None:  # a later step of an answered command has nobody waiting
                self._resolve(pending, fields)

    def _resolve(self, pending, fields):
        self._on_answer(fields)
        if pending.future.done():
            return
        if fields["Response"] == "Error":
            pending.future.set_exception(ZarnError(fields))
        else:
            pending.future.set_result(Answer(fields, pending.data, pending.accepted))

    def _finish(self):
        with self._lock:
            self._closed = True
            pending, self._pending, self._awaiting = list(self._pending.values()), {}, []
        for p in pending:
            if not p.future.done():
                p.future.set_exception(ConnectionClosed("connection closed before %s was answered" % p.cmd))
        if not self.welcome.done():
            self.welcome.set_exception(ConnectionClosed("connection closed before the welcome"))
        try:
            self.sock.close()
        except OSError:
            pass
        self._on_closed(self)
