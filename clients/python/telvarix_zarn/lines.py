"""ZARN lines as text: reading the service's lines (brace or JSON form) and writing command lines.

Pure text logic: no sockets, no threads.
"""
import json
import re

ENCODING = "cp1252"  # the service's texts are 8-bit, Windows Western

_FIELD = re.compile(r"\{([A-Za-z][A-Za-z0-9]*):([^{}]*)\}")
_BLANKS = re.compile(r"[ \t]*")
_KEY = re.compile(r"[A-Za-z][A-Za-z0-9]{0,19}\Z")
MAX_LINE = 2047


def parse_line(text):
    """The fields of one line of the service as an ordered dict, or None if it is not a ZARN line.

    Brace lines are runs of {Key:Value} fields (blanks between fields allowed); JSON lines are one
    object whose values are strings. Fields the caller does not know are simply kept in the dict.
    """
    text = text.strip("\r\n\0 \t")
    if text.startswith('{"'):
        return _parse_json(text)
    return _parse_brace(text)


def _parse_brace(text):
    fields = {}
    pos = 0
    while pos < len(text):
        pos = _BLANKS.match(text, pos).end()
        if pos == len(text):
            break
        m = _FIELD.match(text, pos)
        if m is None:
            return None
        fields.setdefault(m.group(1), m.group(2))
        pos = m.end()
    return fields or None


def _parse_json(text):
    try:
        obj = json.loads(text)
    except ValueError:
        return None
    if not isinstance(obj, dict) or not obj:
        return None
    fields = {}
    for key, value in obj.items():
        if isinstance(value, (dict, list)):
            return None
        fields[key] = "" if value is None else str(value)
    return fields


class LineSplitter:
    """Cuts the service's byte stream into text lines: CR LF (or a lone LF) ends a line, NUL bytes
    between lines are skipped, a run longer than the service ever sends is dropped whole."""

    def __init__(self, limit=64 * 1024):
        self._buf = b""
        self._limit = limit
        self._dropping = False

    def feed(self, data):
        """The complete lines in data (with what was left over before), decoded; blank lines skipped."""
        self._buf += data.replace(b"\0", b"")
        lines = []
        while True:
            end = self._buf.find(b"\n")
            if end < 0:
                break
            raw, self._buf = self._buf[:end], self._buf[end + 1:]
            if self._dropping:
                self._dropping = False
                continue
            text = raw.rstrip(b"\r").decode(ENCODING, errors="replace")
            if text.strip():
                lines.append(text)
        if len(self._buf) > self._limit:
            self._buf = b""
            self._dropping = True
        return lines


def format_command(cmd, fields):
    """One command line in brace form, checked so that no value can add or change a field."""
    parts = [("Cmd", cmd)] + list(fields.items())
    out = []
    seen = set()
    for key, value in parts:
        if not _KEY.match(key):
            raise ValueError("bad ZARN key %r" % key)
        if key.lower() in seen:
            raise ValueError("key %r given twice" % key)
        seen.add(key.lower())
        value = str(value)
        bad = [c for c in value if c in "{}" or ord(c) < 32 or ord(c) == 127]
        if bad:
            raise ValueError("value of %s holds %r, which a ZARN value may not hold" % (key, bad[0]))
        try:
            value.encode(ENCODING)
        except UnicodeEncodeError:
            raise ValueError("value of %s is not Windows Western text" % key) from None
        out.append("{%s:%s}" % (key, value))
    line = "".join(out)
    if len(line) > MAX_LINE:
        raise ValueError("command line longer than %d characters" % MAX_LINE)
    return line


def encode_line(line):
    return line.encode(ENCODING) + b"\r\n"
