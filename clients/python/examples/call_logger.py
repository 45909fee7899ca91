#!/usr/bin/env python3
"""Writes one CSV row per finished call of the monitored extensions.

    call_logger.py [--host H] [--port P] [--password PW] [--out calls.csv] [--seconds N] [EXT ...]

Without extensions it monitors every line of the service. Columns: time (start of the call), ext,
direction (In/Out), number (the other party), connected (0/1), duration (seconds of talk). The
client reconnects by itself; a gap in a line's events is reported on stderr.
"""
import argparse
import csv
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from telvarix_zarn import Client  # noqa: E402

COLUMNS = ["time", "ext", "direction", "number", "connected", "duration"]


def row(record):
    return [record.get("Start", ""), record.ext, record.get("Direction", ""), record.get("Number", ""),
            record.get("Connected", ""), record.get("Duration", "")]


def main():
    parser = argparse.ArgumentParser(description="log the calls of Telvarix lines to CSV")
    parser.add_argument("ext", nargs="*", help="extensions to monitor (default: all lines)")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=25001)
    parser.add_argument("--password", default=os.environ.get("TELVARIX_PASSWORD"))
    parser.add_argument("--out", default="-", help="CSV file to append to (default: standard output)")
    parser.add_argument("--seconds", type=float, help="stop after this many seconds")
    args = parser.parse_args()

    client = Client(args.host, args.port, password=args.password,
                    event_filter=["CallRecord"]).connect()
    exts = args.ext or [d["Ext"] for d in client.get_devices().result(10).data]
    for ext in exts:
        client.monitor(ext).result(10)
    print("logging calls of %s" % ", ".join(exts), file=sys.stderr, flush=True)

    new_file = args.out == "-" or not os.path.exists(args.out) or os.path.getsize(args.out) == 0
    out = sys.stdout if args.out == "-" else open(args.out, "a", newline="", encoding="utf-8")
    writer = csv.writer(out)
    if new_file:
        writer.writerow(COLUMNS)
        out.flush()
    deadline = time.time() + args.seconds if args.seconds else None
    try:
        while deadline is None or time.time() < deadline:
            event = client.next_event(1 if deadline is None else max(0.01, min(1, deadline - time.time())))
            if event is None:
                continue
            if event.name == "CallRecord":
                writer.writerow(row(event))
                out.flush()
            elif event.name in ("Gap", "Disconnected", "Reconnected", "MonitorFailed"):
                print("%s %s" % (event.name, "".join("{%s:%s}" % kv for kv in event.fields.items()
                                                      if kv[0] != "Event")), file=sys.stderr, flush=True)
    except KeyboardInterrupt:
        pass
    finally:
        client.close()
        if out is not sys.stdout:
            out.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
