"""Per line, the highest sequence number the application has seen: decides what to deliver and
where a resumed monitor starts."""
import threading


class SeqTracker:
    def __init__(self):
        self._lock = threading.Lock()
        self._last = {}

    def accept(self, ext, seq):
        """True if an event of `ext` with `seq` is new to the application (and records it)."""
        if seq is None or ext is None:
            return True
        with self._lock:
            if seq <= self._last.get(ext, 0):
                return False
            self._last[ext] = seq
            return True

    def caught_up(self, ext, seq):
        """The service says the application has every event of `ext` up to `seq`."""
        with self._lock:
            if seq > self._last.get(ext, 0):
                self._last[ext] = seq

    def since(self, ext):
        """Where a resumed monitor of `ext` starts; None when nothing is known of the line."""
        with self._lock:
            return self._last.get(ext)

    def highest(self):
        with self._lock:
            return max(self._last.values(), default=0)

    def forget(self):
        """The numbers began anew (the service was restarted): nothing known is valid any more."""
        with self._lock:
            self._last.clear()
