"""A ZARN client and a TELVARIX.EXE under Wine, for the end-to-end tests (standard library only)."""
import os
import re
import shutil
import signal
import socket
import subprocess
import threading
import time

HOST = "127.0.0.1"
FIELD = re.compile(r"\{([A-Za-z][A-Za-z0-9]*):([^{}]*)\}")


def fields(line):
    """The fields of a line as a dict; None when the line is not a run of fields."""
    found = FIELD.findall(line)
    if not found or "".join("{%s:%s}" % kv for kv in found) != line:
        return None
    return dict(found)


def free_port():
    with socket.socket() as s:
        s.bind((HOST, 0))
        return s.getsockname()[1]


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Host:
    """TELVARIX.EXE in console mode on a port of its own, with its own settings file."""

    def __init__(self, wine_run, build, exe, name, settings=None, port=None, extra_args=(), env=None,
                 expect_start=True):
        self.port = port or free_port()
        self.folder = os.path.join(build, "host-tests", name)
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(self.folder)
        ini = os.path.join(self.folder, "TELVARIX.INI")
        if isinstance(settings, bytes):
            with open(ini, "wb") as f:  # a file as found on a disk, maybe broken
                f.write(settings)
        else:
            values = {"Port": str(self.port), "UseProtocol": "2", "KeepAlive": "0"}
            values.update(settings or {})
            with open(ini, "w", newline="\r\n") as f:
                f.write("[General]\n")
                for key, value in values.items():
                    f.write("%s=%s\n" % (key, value))
        self.output = []
        self.lock = threading.Lock()
        self.ini = ini
        environment = dict(os.environ)
        environment.update(env or {})
        self.proc = subprocess.Popen(
            [wine_run, "run", build, exe, "--console", "--ini", windows_path(ini), "--seconds", "100"] + list(extra_args),
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=environment)
        threading.Thread(target=self._read, daemon=True).start()
        if not expect_start:
            return
        if not self.wait_output("listening on port %d" % self.port, 60):
            self.stop()
            raise AssertionError("the service did not start:\n" + self.text())

    def _read(self):
        for raw in self.proc.stdout:
            with self.lock:
                self.output.append(raw.decode("latin-1").rstrip("\r\n"))

    def text(self):
        with self.lock:
            return "\n".join(self.output)

    def wait_output(self, part, timeout=10):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if part in self.text():
                return True
            if self.proc.poll() is not None:
                return part in self.text()
            time.sleep(0.05)
        return False

    def alive(self):
        return self.proc.poll() is None

    def stop(self):
        """Ctrl+C (Wine turns SIGINT into the console's break); the exit code, None if killed."""
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGINT)
            try:
                self.proc.wait(timeout=15)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(timeout=10)
                return None
        return self.proc.returncode


# TVX_TRANSCRIPT=1 prints every line sent and received, for a transcript of a case.
TRANSCRIPT = os.environ.get("TVX_TRANSCRIPT") == "1"


class Client:
    """One connection; lines end with CR LF, NUL bytes between lines are skipped."""

    def __init__(self, host, login=None, address=HOST):
        self.sock = socket.create_connection((address, host.port), timeout=10)
        self.lines = []
        self.closed = False
        self.cond = threading.Condition()
        self.seen = 0
        threading.Thread(target=self._read, daemon=True).start()
        self.welcome = self.expect(lambda f: f.get("Event") in ("Welcome", "Refused"), 10)
        if login is not None:
            self.send("{Cmd:Login}{Password:%s}" % login)
            self.expect_answer("Login", "Ok")

    def _read(self):
        buf = b""
        while True:
            try:
                data = self.sock.recv(4096)
            except OSError:
                data = b""
            if not data:
                with self.cond:
                    self.closed = True
                    self.cond.notify_all()
                return
            buf += data.replace(b"\0", b"")
            while b"\r\n" in buf:
                line, buf = buf.split(b"\r\n", 1)
                with self.cond:
                    self.lines.append(line.decode("latin-1"))
                    self.cond.notify_all()
                if TRANSCRIPT:
                    print("%s < %s" % (self.name(), line.decode("latin-1")), flush=True)

    def send(self, text):
        if TRANSCRIPT:
            print("%s > %s" % (self.name(), text), flush=True)
        self.sock.sendall(text.encode("latin-1") + b"\r\n")

    def name(self):
        return "client %d" % self.sock.getsockname()[1]

    def send_raw(self, data):
        self.sock.sendall(data)

    def expect(self, match, timeout=5):
        """The first unseen line whose fields match; lines before it count as seen."""
        deadline = time.time() + timeout
        with self.cond:
            while True:
                for i in range(self.seen, len(self.lines)):
                    f = fields(self.lines[i])
                    if f is not None and match(f):
                        self.seen = i + 1
                        return f
                left = deadline - time.time()
                if left <= 0 or (self.closed and self.seen >= len(self.lines)):
                    raise AssertionError("no matching line; received:\n" + "\n".join(self.lines[-30:]))
                self.cond.wait(min(left, 0.2))

    def expect_answer(self, cmd, response, timeout=5, **values):
        f = self.expect(lambda f: f.get("Response") is not None and f.get("Cmd") == cmd, timeout)
        if f.get("Response") != response:
            raise AssertionError("%s answered %r, not %s" % (cmd, f, response))
        for key, value in values.items():
            if f.get(key) != value:
                raise AssertionError("%s: %s is %r, not %r in %r" % (cmd, key, f.get(key), value, f))
        return f

    def request(self, line, cmd, response, timeout=5, **values):
        self.send(line)
        return self.expect_answer(cmd, response, timeout, **values)

    def all_lines(self):
        with self.cond:
            return list(self.lines)

    def wait_closed(self, timeout=10):
        deadline = time.time() + timeout
        with self.cond:
            while not self.closed and time.time() < deadline:
                self.cond.wait(0.2)
            return self.closed

    def close(self):
        try:
            # A reader blocked in recv keeps the socket alive; shutdown sends the close at once.
            self.sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        try:
            self.sock.close()
        except OSError:
            pass


class SimControl:
    """The simulated PBX's control port (TVX_SIM_CONTROL_PORT): one command per line, one answer each."""

    def __init__(self, port, timeout=30):
        deadline = time.time() + timeout
        while True:
            try:
                self.sock = socket.create_connection((HOST, port), timeout=timeout)
                break
            except OSError:
                if time.time() > deadline:
                    raise
                time.sleep(0.2)
        self.buf = b""

    def answers(self, count):
        found = []
        while len(found) < count:
            while b"\r\n" not in self.buf:
                data = self.sock.recv(65536)
                if not data:
                    raise AssertionError("control port closed after %d answers" % len(found))
                self.buf += data
            line, self.buf = self.buf.split(b"\r\n", 1)
            found.append(line.decode("utf-8"))
        return found

    def run(self, commands):
        """Sends every command at once (the port takes them in order) and returns the answers."""
        self.sock.sendall("".join(c + "\r\n" for c in commands).encode("utf-8"))
        return self.answers(len(commands))

    def close(self):
        self.sock.close()
