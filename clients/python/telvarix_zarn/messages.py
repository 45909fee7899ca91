"""What the service sends, as objects: events and answers."""


def _int_or_none(text):
    try:
        return int(text)
    except (TypeError, ValueError):
        return None


class Event:
    """One event: `name` (CallReceived, ...), `ext` (the line, or None), `seq` (its sequence number,
    None without one), `fields` (every field of the line, unknown ones included).

    The client adds events of its own, with `local` set: Gap (events of a line may be lost, between
    `first` and `last` when the service says so), Disconnected and Reconnected.
    """

    __slots__ = ("name", "ext", "seq", "fields", "local")

    def __init__(self, fields, local=False):
        self.fields = dict(fields)
        self.name = self.fields.get("Event", "")
        self.ext = self.fields.get("Ext")
        self.seq = _int_or_none(self.fields.get("Seq"))
        self.local = local

    @property
    def time(self):
        return self.fields.get("Time")

    @property
    def replayed(self):
        return self.fields.get("Replay") == "1"

    @property
    def call(self):
        return self.fields.get("Call")

    def get(self, key, default=None):
        return self.fields.get(key, default)

    def __getitem__(self, key):
        return self.fields[key]

    def __repr__(self):
        return "Event(%s)" % "".join("{%s:%s}" % kv for kv in self.fields.items())


class Answer:
    """The final answer to a command: `response` (Ok or Done), `fields`, the `data` lines that came
    before an Ok (device list, help), and for a command that was carried out later the `accepted`
    answer that came first."""

    __slots__ = ("fields", "data", "accepted")

    def __init__(self, fields, data=(), accepted=None):
        self.fields = dict(fields)
        self.data = list(data)
        self.accepted = accepted

    @property
    def response(self):
        return self.fields.get("Response")

    @property
    def success(self):
        """False for a Done whose Success is 0; True otherwise."""
        return self.fields.get("Success", "1") != "0"

    def get(self, key, default=None):
        return self.fields.get(key, default)

    def __getitem__(self, key):
        return self.fields[key]

    def __repr__(self):
        return "Answer(%s)" % "".join("{%s:%s}" % kv for kv in self.fields.items())


def gap_range(text):
    """`a-b` as (a, b); None for anything else."""
    first, sep, last = (text or "").partition("-")
    a, b = _int_or_none(first), _int_or_none(last)
    if not sep or a is None or b is None:
        return None
    return a, b
