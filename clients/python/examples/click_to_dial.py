#!/usr/bin/env python3
"""Dials NUMBER from extension EXT and shows the call until it ends.

    click_to_dial.py [--host H] [--port P] [--password PW] [--timeout S] EXT NUMBER

Prints the Done of the MakeCall, then the events of the call until CallCleared or the timeout.
Exit status 0 when the call was placed, 1 when the service refused it, 2 on a timeout.
"""
import argparse
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from telvarix_zarn import Client, ZarnError  # noqa: E402


LINE_SUMMARIES = ("PhoneState", "DeviceInformation", "Forwarding", "DoNotDisturb")


def show(item):
    fields = "".join("{%s:%s}" % kv for kv in item.fields.items())
    print(fields, flush=True)


def main():
    parser = argparse.ArgumentParser(description="dial a number from a Telvarix line")
    parser.add_argument("ext")
    parser.add_argument("number")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=25001)
    parser.add_argument("--password", default=os.environ.get("TELVARIX_PASSWORD"))
    parser.add_argument("--timeout", type=float, default=60)
    args = parser.parse_args()

    with Client(args.host, args.port, password=args.password) as client:
        try:
            client.monitor(args.ext).result(10)
            done = client.make_call(args.ext, args.number).result(10)
        except ZarnError as e:
            print("refused: %s" % e, file=sys.stderr)
            return 1
        show(done)
        if not done.success:
            return 1
        call = None
        deadline = time.time() + args.timeout
        while time.time() < deadline:
            event = client.next_event(max(0.01, deadline - time.time()))
            if event is None or event.ext != args.ext:
                continue
            if call is None and event.name == "CallOriginated":
                call = event.call
            if call is None or event.call not in (call, None) or event.name in LINE_SUMMARIES:
                continue  # the line before the call, another call on it, or the line's summaries
            show(event)
            if event.name == "CallCleared":
                return 0
        print("timeout: the call did not end within %g s" % args.timeout, file=sys.stderr)
        return 2


if __name__ == "__main__":
    sys.exit(main())
