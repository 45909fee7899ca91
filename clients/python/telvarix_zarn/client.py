"""The ZARN client: connect, log in, monitor lines, send commands, receive events, reconnect."""
import logging
import queue
import threading
import time

from .connection import Connection
from .errors import ConnectionClosed, ZarnError
from .messages import Event, gap_range
from .seqtrack import SeqTracker

log = logging.getLogger("telvarix_zarn")

# Events that are about the connection, not about a line: they carry no sequence number.
_CONNECTION_EVENTS = ("Welcome", "KeepAlive", "LineCreated", "LineRemoved", "Shutdown", "Refused",
                      "LoginTimeout", "IdleTimeout")
# Errors that will not go away by trying again.
_FATAL_LOGIN_ERRORS = ("BadPassword", "LoginLocked")


class Client:
    """A connection to the Telvarix service that stays up.

    Commands return `concurrent.futures.Future` objects resolved with the final `Answer` (the Ok, or
    the Done of a command answered Accepted) or failed with `ZarnError` / `ConnectionClosed`. Events
    arrive as `Event` objects, either through `on_event` (called on a thread of the client) or from
    `next_event()` / iteration. After a lost connection the client connects again with growing
    pauses, logs in, monitors its lines again and, where the service keeps sequence numbers, resumes
    them: no event is delivered twice, and events that cannot be recovered are reported as a `Gap`.
    """

    def __init__(self, address="127.0.0.1", port=25001, password=None, protocol=2, json=False,
                 event_filter=None, reconnect=True, backoff=(0.5, 10.0), timeout=10.0, on_event=None):
        self.address = address
        self.port = port
        self.timeout = timeout
        self.reconnect = reconnect
        self.backoff = backoff
        self._password = password
        self._want_protocol = protocol
        self._json = json
        self._filter = list(event_filter) if event_filter else None
        self._lock = threading.RLock()
        self._conn = None
        self._closing = threading.Event()
        self._monitored = []
        self._seq = SeqTracker()
        self._events = queue.Queue()
        self._on_event = on_event
        self._dispatcher = None
        self._reconnector = None
        self.welcome = None
        self.protocol = 1
        self.session = None
        self.last_resume = None
        self._base_seq = None

    # --- life cycle ----------------------------------------------------------------------------
    def connect(self):
        """Connects and logs in; raises ConnectionClosed or ZarnError when that fails."""
        if self._on_event is not None and self._dispatcher is None:
            self._dispatcher = threading.Thread(target=self._dispatch_events, name="zarn-events", daemon=True)
            self._dispatcher.start()
        self._closing.clear()
        self._open(resuming=False)
        return self

    def close(self):
        """Ends the connection for good: no reconnect; pending commands fail with ConnectionClosed."""
        self._closing.set()
        with self._lock:
            conn, self._conn = self._conn, None
        if conn is not None:
            conn.close()
        if self._reconnector is not None and self._reconnector is not threading.current_thread():
            self._reconnector.join(5)
        self._events.put(None)
        if self._dispatcher is not None and self._dispatcher is not threading.current_thread():
            self._dispatcher.join(5)

    def __enter__(self):
        return self.connect()

    def __exit__(self, *exc):
        self.close()

    @property
    def connected(self):
        with self._lock:
            return self._conn is not None and not self._conn.closed

    @property
    def offers_resume(self):
        """True when the service speaks sequence numbers and resume (it offers ZARN 2)."""
        return bool(self.welcome) and "ZARN 2" in self.welcome.get("Offers", "")

    # --- commands ------------------------------------------------------------------------------
    def command(self, cmd, **fields):
        """Sends a command; a Future of its final Answer."""
        with self._lock:
            conn = self._conn
        if conn is None:
            return _failed(ConnectionClosed("not connected"))
        return conn.command(cmd, fields)

    def call(self, cmd, timeout=None, **fields):
        """Sends a command and waits for its final Answer."""
        return self.command(cmd, **fields).result(self.timeout if timeout is None else timeout)

    def monitor(self, ext):
        """Monitors a line, now and after every reconnect; a Future of the Ok."""
        with self._lock:
            if ext not in self._monitored:
                self._monitored.append(ext)
        return self.command("MonitorStart", Ext=ext)

    def unmonitor(self, ext):
        with self._lock:
            if ext in self._monitored:
                self._monitored.remove(ext)
        return self.command("MonitorStop", Ext=ext)

    def set_filter(self, events=None):
        """Only these line events from now on (None: all), kept across reconnects."""
        self._filter = list(events) if events else None
        return self._send_filter(self.command)

    def ping(self):
        return self.command("Ping")

    def get_devices(self):
        return self.command("GetDevices")

    def make_call(self, ext, dest, **extra):
        return self.command("MakeCall", Ext=ext, Dest=dest, **extra)

    def answer_call(self, ext, **extra):
        return self.command("AnswerCall", Ext=ext, **extra)

    def clear_connection(self, ext, **extra):
        return self.command("ClearConnection", Ext=ext, **extra)

    # --- events --------------------------------------------------------------------------------
    def next_event(self, timeout=None):
        """The next event, or None after `timeout` seconds or once the client is closed."""
        try:
            event = self._events.get(timeout=timeout)
        except queue.Empty:
            return None
        if event is None:
            self._events.put(None)  # keep telling later readers that the client is closed
        return event

    def __iter__(self):
        while True:
            event = self.next_event()
            if event is None:
                return
            yield event

    def _deliver(self, event):
        self._events.put(event)

    def _dispatch_events(self):
        while True:
            event = self._events.get()
            if event is None:
                return
            try:
                self._on_event(event)
            except Exception:  # an application's fault must not stop the events
                log.exception("on_event failed for %r", event)

    def _event_line(self, fields):
        event = Event(fields)
        if event.name in ("Welcome",):
            return
        if event.seq is not None and event.name not in _CONNECTION_EVENTS:
            if not self._seq.accept(event.ext, event.seq):
                return  # seen before the connection was lost
        self._deliver(event)

    def _local(self, name, **fields):
        self._deliver(Event(dict(Event=name, **fields), local=True))

    # --- answers that change what the client knows (reader thread, before the future) ------------
    def _answer_line(self, fields):
        if fields.get("Response") != "Ok":
            return
        cmd = fields.get("Cmd", "").lower()
        if fields.get("Session"):
            if cmd != "resume":
                self.session = fields["Session"]
            self.protocol = 2 if fields.get("Protocol", "ZARN 2") == "ZARN 2" else 1
        elif cmd == "setprotocol" and fields.get("Protocol") == "ZARN 1":
            self.protocol, self.session = 1, None
        if cmd == "setprotocol" and fields.get("LastSeq", "").isdigit():
            self._base_seq = int(fields["LastSeq"])
        if cmd == "monitorstart" and fields.get("Ext"):
            self._monitor_started(fields)

    def _monitor_started(self, fields):
        ext = fields["Ext"]
        last = fields.get("LastSeq")
        gap = fields.get("Gap")
        if gap is not None:
            span = gap_range(gap)
            extra = {"First": str(span[0]), "Last": str(span[1])} if span else {}
            self._local("Gap", Ext=ext, **extra)
        if last is not None and last.isdigit():
            self._seq.caught_up(ext, int(last))
        elif self.protocol == 2 and self._base_seq is not None and self._seq.since(ext) is None:
            self._seq.caught_up(ext, self._base_seq)  # a resume from here misses nothing

    # --- connecting ----------------------------------------------------------------------------
    def _open(self, resuming):
        conn = Connection(self.address, self.port, self.timeout, self._event_line, self._answer_line,
                          self._connection_closed)
        try:
            self._handshake(conn, resuming)
        except BaseException:
            conn.close()
            raise
        with self._lock:
            closing = self._closing.is_set()
            if not closing:
                self._conn = conn
        if closing:  # closed outside the lock: the reader takes it on its way out
            conn.close()
            raise ConnectionClosed("client closed")
        if conn.closed:  # lost during the handshake: the reader found no current connection
            self._connection_closed(conn)

    def _handshake(self, conn, resuming):
        wait = self.timeout
        welcome = conn.welcome.result(wait)
        if welcome.get("Event") != "Welcome":
            raise ConnectionClosed("refused by the service: %s" % welcome.get("Error", welcome))
        self.welcome = welcome
        self.protocol, old_session = 1, self.session
        self.last_resume = None
        if welcome.get("Login") == "Required":
            if self._password is None:
                raise ConnectionClosed("the service needs a password")
            conn.command("Login", {"Password": self._password}).result(wait)
        if self._want_protocol >= 2 and self.offers_resume:
            conn.command("SetProtocol", {"Value": "2"}).result(wait)
            if self._base_seq is not None and self._base_seq < self._seq.highest():
                # A counter that went back: the service was restarted and knows no old number.
                self._seq.forget()
                old_session = None
            if resuming and old_session:
                self._resume_session(conn, old_session)
        else:
            self.session = None
        # A service without ZARN 2 knows neither: it sends every event, in brace form.
        if self._json and self.protocol == 2:
            conn.command("SetFormat", {"Value": "json"}).result(wait)
        if self._filter and self.protocol == 2:
            self._send_filter(lambda cmd, **f: conn.command(cmd, f)).result(wait)
        with self._lock:
            lines = list(self._monitored)
        for ext in lines:
            self._monitor_again(conn, ext, resuming)

    def _resume_session(self, conn, old_session):
        try:
            ok = conn.command("Resume", {"Session": old_session}).result(self.timeout)
        except ZarnError as e:
            if e.code != "UnknownSession":
                raise
            self.last_resume = None
            return
        self.last_resume = ok.fields

    def _monitor_again(self, conn, ext, resuming):
        fields = {"Ext": ext}
        since = self._seq.since(ext) if self.protocol == 2 else None
        if since is None and self.protocol == 2 and self.last_resume:
            since = int(self.last_resume.get("LastDelivered", "0") or 0) or None
        if since is not None:
            fields["Since"] = str(since)
        try:
            conn.command("MonitorStart", fields).result(self.timeout)
        except ZarnError as e:
            if e.field != "Since":
                self._local("MonitorFailed", Ext=ext, Error=e.code, Text=e.text)
                return
            # The service no longer knows that number (it was restarted): start afresh.
            del fields["Since"]
            since = None
            conn.command("MonitorStart", fields).result(self.timeout)
        if resuming and since is None:
            self._local("Gap", Ext=ext)  # nothing to resume from: events may be lost

    def _send_filter(self, send):
        if self._filter:
            return send("SetFilter", Events=",".join(self._filter))
        return send("SetFilter")

    def _connection_closed(self, conn):
        with self._lock:
            if conn is not self._conn:
                return  # a handshake that failed, or a connection replaced already
            self._conn = None
        if self._closing.is_set():
            return
        self._local("Disconnected")
        if self.reconnect:
            self._reconnector = threading.Thread(target=self._reconnect_loop, name="zarn-reconnect", daemon=True)
            self._reconnector.start()

    def _reconnect_loop(self):
        delay, longest = self.backoff
        while not self._closing.wait(delay):
            try:
                self._open(resuming=True)
            except ZarnError as e:
                if e.code in _FATAL_LOGIN_ERRORS:
                    self._local("ReconnectFailed", Error=e.code, Text=e.text)
                    return
                log.warning("reconnect failed: %s", e)
            except (OSError, ConnectionClosed, TimeoutError) as e:
                log.info("reconnect failed: %s", e)
            except Exception as e:  # concurrent.futures.TimeoutError before 3.11
                log.warning("reconnect failed: %r", e)
            else:
                fields = {}
                if self.last_resume:
                    fields = {k: self.last_resume[k] for k in ("Reason", "LastDelivered") if k in self.last_resume}
                self._local("Reconnected", **fields)
                return
            delay = min(delay * 2, longest)


def _failed(exc):
    from concurrent.futures import Future
    f = Future()
    f.set_exception(exc)
    return f
