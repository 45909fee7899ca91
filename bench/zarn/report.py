"""The table of run-zarn-bench.sh: figures (min/median/max over the repeats) and the targets.

    python3 report.py RESULTS [RINGS]

RESULTS holds one "figure value" per line, a figure once per repeat. bench/README.md says what
each figure measures. A ratio always names its baseline; a baseline that does not have the
service's protocol shape is printed, but only for reference.
"""
import statistics
import sys


def load(path):
    figs = {}
    with open(path) as f:
        for line in f:
            parts = line.split()
            if len(parts) == 2:
                figs.setdefault(parts[0], []).append(float(parts[1]))
    return figs


class Figures:
    def __init__(self, figs):
        self.figs = figs

    def med(self, key):
        v = self.figs.get(key)
        return statistics.median(v) if v else None

    def row(self, label, key, fmt="%.3f", less=None):
        """One figure's line; LESS (a key) subtracts the median of that figure from each value."""
        v = self.figs.get(key)
        base = self.med(less) if less else 0
        if not v or base is None:
            return "  %-70s missing" % label
        v = [x - base for x in v]
        return "  %-70s %s" % (label, "/".join(fmt % x for x in (min(v), statistics.median(v), max(v))))


def figure_lines(f, rings):
    n = "%.0f"
    out = ["", "figure (min/median/max over the repeats; [baseline] rows are what a ratio divides by)"]
    out.append("latency, 1 client on 4 lines")
    out.append(f.row("command -> Done p50, ms", "one.done_p50_ms"))
    out.append(f.row("command -> Done p99, ms", "one.done_p99_ms"))
    out.append(f.row("ClearConnection -> CallCleared p50, ms", "one.clear_p50_ms"))
    out.append(f.row("ClearConnection -> CallCleared p99, ms", "one.clear_p99_ms"))
    out.append(f.row("replay step by step: command -> the step's last line p50, ms", "replay_one_steps.step_p50_ms"))
    out.append(f.row("replay step by step: command -> the step's last line p99, ms", "replay_one_steps.step_p99_ms"))
    out.append("events/s (event lines received, all clients together)")
    out.append(f.row("1 client, service", "one.events_per_s", n))
    out.append(f.row("1 client, replay step by step [baseline]", "replay_one_steps.events_per_s", n))
    out.append(f.row("1 client, replay of the whole cycle in one answer (not like for like)",
                     "replay_one.events_per_s", n))
    out.append(f.row("8 clients (16 lines), service", "eight.events_per_s", n))
    out.append(f.row("8 clients, replay step by step [baseline]", "replay_eight_steps.events_per_s", n))
    out.append(f.row("8 clients, replay of the whole cycle in one answer (not like for like)",
                     "replay_eight.events_per_s", n))
    out.append("one call cycle on a line that 247 clients watch, median of %s rings, ms" % rings)
    out.append(f.row("ring: MakeCall -> the last client's CallReceived, service", "fan.ring_p50_ms"))
    out.append(f.row("ring step's lines replayed to 247 clients [baseline]", "replay_fan_steps.ring_p50_ms"))
    out.append(f.row("whole cycle, four steps, service", "fan.fan_cycle_p50_ms"))
    out.append(f.row("whole cycle replayed step by step [baseline]", "replay_fan_steps.fan_cycle_p50_ms"))
    out.append(f.row("whole cycle replayed in one answer per client (not like for like)",
                     "replay_fan.fan_cycle_p50_ms"))
    out.append("8192 lines")
    out.append(f.row("events/s, lines at the head", "head.events_per_s", n))
    out.append(f.row("events/s, lines at the end", "end.events_per_s", n))
    out.append(f.row("GetDevices, ms", "big.getdevices_ms"))
    out.append("start-up: launch -> a client got its welcome and an answer to Help, s")
    out.append(f.row("4 lines", "startup_4_lines_s"))
    out.append(f.row("8192 lines", "startup_8192_lines_s"))
    out.append(f.row("8192 lines, --show-events", "startup_8192_show_events_s"))
    out.append(f.row("replay server, a trivial Winsock program under Wine [baseline]", "startup_replay_s"))
    out.append(f.row("4 lines, above the baseline", "startup_4_lines_s", less="startup_replay_s"))
    out.append(f.row("8192 lines, above the baseline", "startup_8192_lines_s", less="startup_replay_s"))
    out.append(f.row("8192 lines, --show-events, above the baseline", "startup_8192_show_events_s",
                     less="startup_replay_s"))
    out.append("  the service's own, from its log: \"Telvarix starting\" -> first client accepted")
    out.append(f.row("  4 lines", "startup_4_lines_own_s"))
    out.append(f.row("  8192 lines", "startup_8192_lines_own_s"))
    out.append(f.row("  8192 lines, --show-events", "startup_8192_show_events_own_s"))
    for p, what in (("rss", "main job's settings"), ("rss_nohook", "phones not put down")):
        out.append("memory, %s" % what)
        out.append(f.row("events", p + ".events", n))
        out.append(f.row("RSS 4 s into the run, KB", p + ".first_kb", n))
        out.append(f.row("RSS at the end, KB", p + ".end_kb", n))
        out.append(f.row("RSS lowest sample from 4 s on, KB", p + ".min_kb", n))
        out.append(f.row("RSS highest sample from 4 s on, KB", p + ".max_kb", n))
    return out


def target(text, value, against, ok):
    return "  %-62s %-26s %-36s %s" % (text, value, against, "met" if ok else "NOT met")


def ratio(f, key, base):
    """(service median / baseline median, the two medians), or None when either is missing."""
    a, b = f.med(key), f.med(base)
    return (a / b, a, b) if a and b else None


def target_lines(f):
    out = ["", "targets (medians)" + " " * 46 + "%-26s %-36s %s" % ("figure", "against", "verdict")]
    for label, key in (("command -> Done", "one.done_p99_ms"), ("ClearConnection -> CallCleared", "one.clear_p99_ms")):
        v = f.med(key)
        if v is not None:
            out.append(target("%s p99 < 1 ms (1 client)" % label, "%.3f ms" % v, "", v < 1))
    r = ratio(f, "eight.events_per_s", "replay_eight_steps.events_per_s")
    if r:
        out.append(target("events/s, 8 clients >= 0.6x baseline", "%.2fx (%.0f/%.0f)" % r,
                          "8 clients, replay step by step", r[0] >= 0.6))
    r = ratio(f, "head.events_per_s", "end.events_per_s")
    if r:
        out.append(target("8192 lines: end of the list within 1.2x of head", "%.2fx (%.0f/%.0f)" % r,
                          "head events/s over end events/s", r[0] <= 1.2))
    g = f.med("big.getdevices_ms")
    if g is not None:
        out.append(target("8192 lines: GetDevices < 50 ms", "%.1f ms" % g, "", g < 50))
    s, b = f.med("startup_8192_show_events_s"), f.med("startup_replay_s")
    if s is not None and b is not None:
        out.append(target("start-up, 8192 lines, --show-events < 0.5 s", "%.2f s (raw %.2f s)" % (s - b, s),
                          "above the replay's start-up, %.2f s" % b, s - b < 0.5))
    r = ratio(f, "fan.ring_p50_ms", "replay_fan_steps.ring_p50_ms")
    if r:
        out.append(target("fan-out of one ring to 247 clients within 1.1x", "%.2fx (%.1f/%.1f ms)" % r,
                          "ring step replayed to 247 clients", r[0] <= 1.1))
    for p, what in (("rss", "main job"), ("rss_nohook", "phones not put down")):
        lo, hi, first, last, ev = (f.med(p + k) for k in (".min_kb", ".max_kb", ".first_kb", ".end_kb", ".events"))
        if lo and hi:
            out.append(target("RSS flat within 2 MB over %.0f events (%s)" % (ev or 0, what), "%.0f KB" % (hi - lo),
                              "highest minus lowest sample", hi - lo <= 2048 and (ev or 0) >= 200000))
            out.append("  %-62s %+.0f KB" % ("  end minus 4 s into the run", last - first))
    out.append("")
    out.append("for reference, not targets: service / baseline (medians)")
    for text, key, base in (
        ("events/s, 1 client / replay step by step", "one.events_per_s", "replay_one_steps.events_per_s"),
        ("events/s, 1 client / replay of whole cycles", "one.events_per_s", "replay_one.events_per_s"),
        ("events/s, 8 clients / replay of whole cycles", "eight.events_per_s", "replay_eight.events_per_s"),
        ("fan-out, whole cycle / replayed step by step", "fan.fan_cycle_p50_ms", "replay_fan_steps.fan_cycle_p50_ms"),
        ("fan-out, whole cycle / replayed in one answer", "fan.fan_cycle_p50_ms", "replay_fan.fan_cycle_p50_ms"),
    ):
        r = ratio(f, key, base)
        out.append("  %-62s %s" % (text, "%.2fx (%.1f/%.1f)" % r if r else "missing"))
    return out


def main(argv):
    if len(argv) not in (2, 3):
        sys.stderr.write("usage: report.py RESULTS [RINGS]\n")
        return 2
    f = Figures(load(argv[1]))
    print("\n".join(figure_lines(f, argv[2] if len(argv) == 3 else "10") + target_lines(f)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
