#!/usr/bin/env python3
"""End-to-end tests of Diagnostics, PlayFile and RecordFile of TELVARIX.EXE under Wine.

Usage: media_e2e.py CASE WINE_RUN_SCRIPT BUILD_DIR TELVARIX_EXE
The sound device of the test prefix is ALSA's file plugin (scripts/wine-run.sh): what is played
lands in BUILD_DIR/wine/sound/played.raw.
"""
import os
import struct
import sys
import time

import host_e2e
from host_e2e import case, check
from zarn_client import Client, fields, windows_path

SEPARATOR = "-" * 89


def media_folder(run, name):
    folder = os.path.join(run.build, "host-tests", name + "-media")
    os.makedirs(folder, exist_ok=True)
    for entry in os.listdir(folder):
        os.remove(os.path.join(folder, entry))
    return folder


def wave_file(samples, rate=8000, bits=8, channels=1, tag=1):
    block = channels * bits // 8
    header = struct.pack("<4sI4s4sIHHIIHH4sI", b"RIFF", 36 + len(samples), b"WAVE", b"fmt ", 16, tag, channels,
                         rate, rate * block, block, bits, b"data", len(samples))
    return header + samples


def read_header(data):
    names = ("riff", "riffSize", "wave", "fmt", "fmtSize", "tag", "channels", "rate", "avgBytes", "blockAlign",
             "bits", "data", "dataSize")
    return dict(zip(names, struct.unpack("<4sI4s4sIHHIIHH4sI", data[:44])))


def connected_call(c):
    """A call from 201 to 202, answered: 201 has a connected call."""
    for ext in ("201", "202"):
        c.request("{Cmd:MonitorStart}{Ext:%s}" % ext, "MonitorStart", "Ok")
    c.request("{Cmd:MakeCall}{InvokeId:m}{Ext:201}{Dest:202}", "MakeCall", "Accepted")
    c.expect(lambda f: f.get("Event") == "CallReceived" and f.get("Ext") == "202", 10)
    c.request("{Cmd:AnswerCall}{InvokeId:a}{Ext:202}", "AnswerCall", "Accepted")
    c.expect(lambda f: f.get("Event") == "CallEstablished" and f.get("Ext") == "201", 10)


@case
def diagnostics(run):
    """Both reports go to the asking client, line by line, and into the protocol file."""
    log_path = os.path.join(os.path.dirname(run.exe), "TELVARIX.LOG")
    host = run("diagnostics", {"UseProtocol": "1"})
    c = Client(host)
    mark = c.seen
    done = c.request("{Cmd:Diagnostics}{InvokeId:r1}", "Diagnostics", "Ok", 20, InvokeId="r1")
    lines = [f["Text"] for f in (host_e2e.fields(l) for l in c.all_lines()[mark:])
             if f and f.get("Data") == "Report" and f.get("InvokeId") == "r1"]
    print("\n".join(lines[:40]))
    check(int(done["Lines"]) == len(lines), "Lines %s for %d report lines" % (done["Lines"], len(lines)))
    check(lines[:4] == [SEPARATOR, "System Data", SEPARATOR, ""], "system report head %r" % lines[:4])
    check("FileName:              tvxsim.tsp" in lines, "the simulator's provider is listed")
    check("TAPI Data" in lines and "LineName:         Office 201" in lines, "the line report follows")
    check("AddressFeatures:  0x00000003 (FORWARD MAKECALL )" in lines, "feature texts")
    check(lines[-1] == SEPARATOR and lines.count(SEPARATOR) == 6, "both reports end with their separator")
    # A second client sees none of it.
    check(host.stop() == 0, "clean stop")
    log = open(log_path, encoding="latin-1").read()
    check("report System Data" in log and "report LineName:         Office 202" in log, "protocol file")


@case
def play_file(run):
    """A file of the media folder is played into the connected call and reaches the device."""
    folder = media_folder(run, "play")
    samples = bytes((i * 7) % 251 for i in range(8000))
    with open(os.path.join(folder, "hello.wav"), "wb") as f:
        f.write(wave_file(samples))
    played = os.path.join(run.build, "wine", "sound", "played.raw")
    host = run("play", {"MediaFolder": windows_path(folder)})
    c = Client(host)
    connected_call(c)
    with open(played, "wb") as f:
        f.write(b"untouched")
    c.request("{Cmd:PlayFile}{InvokeId:p1}{Ext:201}{File:hello.wav}", "PlayFile", "Accepted", InvokeId="p1",
              Ext="201", File="hello.wav")
    c.expect_answer("PlayFile", "Done", 20, InvokeId="p1", Ext="201", File="hello.wav", Success="1")
    arrived = open(played, "rb").read()
    check(samples in arrived, "the samples arrived byte for byte (%d bytes at the device)" % len(arrived))
    print("played %d sample bytes; the device received %d bytes holding them unchanged" % (len(samples), len(arrived)))
    check(host.stop() == 0, "clean stop")


@case
def record_file(run):
    """A recording runs beside the service's other work and ends when the call is hung up."""
    folder = media_folder(run, "record")
    host = run("record", {"MediaFolder": windows_path(folder)})
    c = Client(host)
    connected_call(c)
    # The test device records faster than real time: a buffer far beyond what arrives before the
    # hang-up shows the early end.
    c.request("{Cmd:RecordFile}{InvokeId:r1}{Ext:201}{File:call.wav}{Bytes:4000000}", "RecordFile", "Accepted",
              InvokeId="r1")
    # The service still answers at once while the recording runs.
    c.request("{Cmd:GetDevices}{InvokeId:g}", "GetDevices", "Ok", 2)
    c.request("{Cmd:RecordFile}{Ext:201}{File:second.wav}{Bytes:1000}", "RecordFile", "Error", Error="Busy")
    time.sleep(1)
    c.request("{Cmd:ClearConnection}{Ext:201}", "ClearConnection", "Accepted")
    done = c.expect_answer("RecordFile", "Done", 20, InvokeId="r1", Success="1")
    data = open(os.path.join(folder, "call.wav"), "rb").read()
    h = read_header(data)
    print("recording header:", {k: (v.decode() if isinstance(v, bytes) else v) for k, v in h.items()})
    check(h["riff"] == b"RIFF" and h["wave"] == b"WAVE" and h["fmt"] == b"fmt " and h["data"] == b"data", repr(h))
    check(h["tag"] == 1 and h["rate"] == 11025 and h["bits"] == 8, "11025 Hz 8 bit PCM: %r" % h)
    check(h["avgBytes"] == h["rate"] * h["channels"] and h["blockAlign"] == h["channels"], repr(h))
    check(h["dataSize"] == len(data) - 44 == int(done["Bytes"]), "data size %r, file %d" % (h, len(data)))
    check(h["riffSize"] == 36 + h["dataSize"], "RIFF size")
    check(0 < h["dataSize"] < 4000000, "ended by the hang-up: %d bytes" % h["dataSize"])
    check(host.stop() == 0, "clean stop")


@case
def media_refusals(run):
    """Names outside the media folder, existing recordings, missing files and bad sizes change nothing."""
    folder = media_folder(run, "refusals")
    with open(os.path.join(folder, "keep.wav"), "wb") as f:
        f.write(b"keep")
    host = run("refusals", {"MediaFolder": windows_path(folder)})
    c = Client(host)
    c.request("{Cmd:PlayFile}{Ext:201}{File:keep.wav}", "PlayFile", "Error", Error="NotMonitored")
    connected_call(c)
    for name in ("../keep.wav", "..\\keep.wav", "C:keep.wav", "C:\\windows\\win.ini", "\\\\server\\share\\x.wav",
                 "/etc/passwd", "CON.wav", "keep.txt", ".wav", "a..wav"):
        c.request("{Cmd:PlayFile}{Ext:201}{File:%s}" % name, "PlayFile", "Error", Error="BadValue", Field="File")
        c.request("{Cmd:RecordFile}{Ext:201}{File:%s}{Bytes:100}" % name, "RecordFile", "Error", Error="BadValue")
    c.request("{Cmd:RecordFile}{Ext:201}{File:keep.wav}{Bytes:100}", "RecordFile", "Error", Error="FileExists")
    c.request("{Cmd:PlayFile}{Ext:201}{File:none.wav}", "PlayFile", "Error", Error="NoSuchFile")
    for size in ("0", "16777217", "12a", "-5"):
        c.request("{Cmd:RecordFile}{Ext:201}{File:n.wav}{Bytes:%s}" % size, "RecordFile", "Error", Error="BadValue",
                  Field="Bytes")
    c.request("{Cmd:RecordFile}{Ext:201}{File:n.wav}", "RecordFile", "Error", Error="MissingField", Field="Bytes")
    c.request("{Cmd:PlayFile}{Ext:203}{File:keep.wav}", "PlayFile", "Error", Error="NotMonitored")
    c.request("{Cmd:MonitorStart}{Ext:203}", "MonitorStart", "Ok")
    c.request("{Cmd:PlayFile}{Ext:203}{File:keep.wav}", "PlayFile", "Error", Error="NoSuitableCall")
    # A named call must be a connected call of the line itself.
    at202 = [f for f in map(fields, c.all_lines()) if f and f.get("Event") == "CallReceived" and f["Ext"] == "202"]
    c.request("{Cmd:PlayFile}{Ext:201}{File:keep.wav}{Call:%s}" % at202[0]["Call"], "PlayFile", "Error",
              Error="NoSuchCall", Field="Call")
    c.request("{Cmd:RecordFile}{Ext:201}{File:n.wav}{Bytes:100}{Call:x}", "RecordFile", "Error", Error="BadValue",
              Field="Call")
    check(sorted(os.listdir(folder)) == ["keep.wav"], "nothing written: %r" % os.listdir(folder))
    check(open(os.path.join(folder, "keep.wav"), "rb").read() == b"keep", "keep.wav unchanged")
    check(host.stop() == 0, "clean stop")
    # Without a media folder the commands are off.
    host = run("nomedia")
    c = Client(host)
    connected_call(c)
    c.request("{Cmd:PlayFile}{Ext:201}{File:keep.wav}", "PlayFile", "Error", Error="MediaDisabled")
    check(host.stop() == 0, "clean stop")


if __name__ == "__main__":
    sys.exit(host_e2e.main())
