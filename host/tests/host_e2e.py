#!/usr/bin/env python3
"""End-to-end tests of TELVARIX.EXE under Wine, driven over TCP from Linux.

Usage: host_e2e.py CASE WINE_RUN_SCRIPT BUILD_DIR TELVARIX_EXE
Every case starts the service on a port of its own and stops it with Ctrl+C at the end.
"""
import json
import os
import re
import socket
import subprocess
import sys
import time

from zarn_client import Client, Host, SimControl, fields, free_port, windows_path

CASES = {}


def case(fn):
    CASES[fn.__name__] = fn
    return fn


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def device_lines(client, invoke):
    client.send("{Cmd:GetDevices}{InvokeId:%s}" % invoke)
    done = client.expect_answer("GetDevices", "Ok", InvokeId=invoke)
    devices = {}
    for line in client.all_lines():
        f = fields(line)
        if f and f.get("Data") == "Device" and f.get("InvokeId") == invoke:
            devices[f["Ext"]] = f
    check(int(done["Count"]) == len(devices), "Count %s for %d device lines" % (done["Count"], len(devices)))
    return devices


@case
def startup(run):
    """Welcome, help, the device list of the simulated PBX, keep-alive lines and the protocol file."""
    host = run("startup", {"KeepAlive": "1"})
    c = Client(host)
    check(c.welcome == {"Event": "Welcome", "Service": "Telvarix", "Protocol": "ZARN 1", "Offers": "ZARN 2",
                        "Login": "NotNeeded", "Hint": "send help for the commands"}, "welcome %r" % c.welcome)
    c.send("help")
    names = []
    while True:
        f = c.expect(lambda f: "Help" in f or f.get("Response") == "Ok")
        if "Response" in f:
            break
        names.append(f["Help"])
    for name in ("MakeCall", "ConsultationCall", "AnswerCall", "ClearConnection", "HoldCall", "RetrieveCall",
                 "AlternateCall", "TransferCall", "ConferenceCall", "DeflectCall", "PickupCall", "SetForwarding",
                 "MonitorStart", "MonitorStop", "GetDevices", "Login", "Quit"):
        check(name in names, "help lacks " + name)
    devices = device_lines(c, "d1")
    check(sorted(devices) == ["201", "202", "203", "205"], "devices %r" % sorted(devices))
    check(devices["201"]["Name"] == "Office 201" and devices["201"]["DeviceId"] == "0", repr(devices["201"]))
    check(devices["205"]["Name"] == "Port 7 ext 205", "line without address gets 205 from its name")
    check(all(d["Open"] == "0" and d["Calls"] == "()" for d in devices.values()), "no line open before a monitor")
    c.expect(lambda f: f.get("Event") == "KeepAlive" and len(f.get("Time", "")) == 19, 4)
    c.expect(lambda f: f.get("Event") == "KeepAlive", 3)
    c.request("{Cmd:Quit}{InvokeId:q}", "Quit", "Ok", InvokeId="q")
    check(c.wait_closed(5), "Quit closes the connection")
    check(host.stop() == 0, "clean stop")
    log = open(os.path.join(os.path.dirname(host.exe), "TELVARIX.LOG"), encoding="latin-1").read()
    check("client" in log and "{Cmd:GetDevices}{InvokeId:d1}" in log, "the protocol file holds the traffic")
    check("Telvarix stopped" in log, "the protocol file ends with the stop")


@case
def login(run):
    """Password first; a wrong one is refused; silent connections are closed after the login time."""
    host = run("login", {"Password": "Zebra 42", "LoginTimeout": "2"})
    c = Client(host)
    check(c.welcome.get("Login") == "Required", "welcome asks for the login")
    c.request("{Cmd:GetDevices}{InvokeId:1}", "GetDevices", "Error", Error="NotLoggedIn", InvokeId="1")
    c.request("{Cmd:Login}{Password:Zebra 4}", "Login", "Error", Error="BadPassword")
    c.request("{Cmd:Login}{Password:Zebra 421}", "Login", "Error", Error="BadPassword")
    c.request("{Cmd:Help}", "Help", "Ok")  # help works before the login
    c.request("{Cmd:Login}{Password:Zebra 42}", "Login", "Ok")
    c.request("{Cmd:MonitorStart}{Ext:201}", "MonitorStart", "Ok")
    silent = Client(host)
    started = time.time()
    silent.expect(lambda f: f.get("Event") == "LoginTimeout", 6)
    check(silent.wait_closed(5), "a connection without login is closed")
    check(time.time() - started >= 1.5, "closed only after the login time")
    time.sleep(1.5)
    c.request("{Cmd:GetDevices}{InvokeId:2}", "GetDevices", "Ok")  # the logged-in client stays
    check(host.stop() == 0, "clean stop")


@case
def refused(run):
    """A client from an address outside AllowedClients is told so and closed."""
    host = run("refused", {"AllowedClients": "10.9.8.7, 192.168.0.0/16"})
    c = Client(host)
    check(c.welcome == {"Event": "Refused", "Error": "AddressNotAllowed"}, "refusal %r" % c.welcome)
    check(c.wait_closed(5), "refused connection is closed")
    check(host.stop() == 0, "clean stop")
    allowed = run("allowed", {"AllowedClients": "10.9.8.7 127.0.0.0/8"})
    c = Client(allowed)
    check(c.welcome.get("Event") == "Welcome", "loopback is in 127.0.0.0/8")
    check(allowed.stop() == 0, "clean stop")


@case
def monitor(run):
    """Monitor start and stop, the line's first state, and the answers of commands without a call."""
    host = run("monitor")
    c = Client(host)
    c.send("{Cmd:MonitorStart}{InvokeId:m1}{Ext:201}")
    fwd = c.expect(lambda f: f.get("Event") == "Forwarding")
    check(fwd == {"Event": "Forwarding", "Ext": "201", "DeviceId": "0", "On": "0", "Dest": ""}, repr(fwd))
    state = c.expect(lambda f: f.get("Event") == "PhoneState")
    check(state["Active"] == "0" and state["Held"] == "0" and state["Alerting"] == "0", repr(state))
    c.expect_answer("MonitorStart", "Ok", InvokeId="m1", Ext="201")
    c.request("{Cmd:MonitorStart}{Ext:201}", "MonitorStart", "Ok", Already="1")
    c.request("{Cmd:MonitorStart}{Ext:1201}", "MonitorStart", "Error", Error="UnknownExtension")
    check(device_lines(c, "d")["201"]["Open"] == "1", "the monitored line is open")
    f = c.request("{Cmd:AnswerCall}{InvokeId:a1}{Ext:201}", "AnswerCall", "Error", Error="NoSuitableCall",
                  InvokeId="a1")
    check(f["Text"] == "the line has no ringing call to answer", repr(f))
    f = c.request("{Cmd:HoldCall}{Ext:201}", "HoldCall", "Error", Error="NoSuitableCall")
    check("TapiError" not in f and "connected call to hold" in f["Text"], "no misleading TAPI name: %r" % f)
    c.request("{Cmd:TransferCall}{Ext:201}", "TransferCall", "Error", Error="NoSuitableCall")
    c.request("{Cmd:ConsultationCall}{Ext:201}{Dest:203}", "ConsultationCall", "Error", Error="NoSuitableCall")
    c.request("{Cmd:AnswerCall}{Ext:202}", "AnswerCall", "Error", Error="NotMonitored")
    c.request("{Cmd:MakeCall}{Ext:999}{Dest:1}", "MakeCall", "Error", Error="UnknownExtension")
    c.request("{Cmd:MonitorStop}{Ext:202}", "MonitorStop", "Error", Error="NotMonitored")
    c.request("{Cmd:MonitorStop}{Ext:201}", "MonitorStop", "Ok")
    c.request("{Cmd:HoldCall}{Ext:201}", "HoldCall", "Error", Error="NotMonitored")
    check(device_lines(c, "e")["201"]["Open"] == "0", "the line closes with its last monitor")
    c.request("{Cmd:MonitorStart}{Ext:201}", "MonitorStart", "Ok")  # and opens again
    check(host.stop() == 0, "clean stop")


@case
def bad_input(run):
    """Nothing a client sends breaks the connection or the service."""
    host = run("badinput")
    c = Client(host)
    cases = [
        ("MakeCall", "Error", "UnknownCommand", "{Cmd:Dance}"),
        (None, "Error", "Malformed", "hello there"),
        (None, "Error", "Malformed", "{Cmd:MakeCall"),
        (None, "Error", "DuplicateField", "{Cmd:Help}{cmd:Help}"),
        (None, "Error", "ValueTooLong", "{Cmd:" + "x" * 300 + "}"),
        (None, "Error", "BinaryInput", "{Cmd:\x01\x02\x1b[2J}"),
        ("MakeCall", "Error", "ValueTooLong", "{Cmd:MakeCall}{Ext:201}{Dest:" + "9" * 60 + "}"),
        ("MakeCall", "Error", "BadValue", "{Cmd:MakeCall}{Ext:201}{Dest:1;2}"),
        ("MonitorStart", "Error", "MissingField", "{Cmd:MonitorStart}"),
        ("AnswerCall", "Error", "UnknownField", "{Cmd:AnswerCall}{Ext:201}{Colour:red}"),
    ]
    for cmd, response, error, line in cases:
        c.send(line)
        f = c.expect(lambda f: f.get("Response") is not None)
        check(f.get("Response") == response and f.get("Error") == error, "%r answered %r" % (line, f))
        if cmd == "MakeCall" and "Dance" not in line:
            check(f.get("Cmd") == "MakeCall", "the answer names the command: %r" % f)
    # A line too long for the server is dropped whole; the next line works.
    c.send_raw(b"{Cmd:Help}" + b"A" * 5000 + b"\r\n")
    c.send_raw(bytes(range(256)) * 4 + b"\r\n")
    c.send_raw(b"\xff\xfe\xfd{Cmd:GetDevices}\n")
    c.request("{Cmd:GetDevices}{InvokeId:after}", "GetDevices", "Ok", InvokeId="after")
    # Empty lines and CR, LF or NUL endings in any mix.
    c.send_raw(b"\r\n\r\n\0{Cmd:Help}{InvokeId:nul}\0")
    c.expect_answer("Help", "Ok", InvokeId="nul")
    # A client that floods and vanishes leaves the service serving others.
    flood = socket.create_connection(("127.0.0.1", host.port), timeout=5)
    flood.sendall(b"{Cmd:MonitorStart}{Ext:201}\r\n" + b"{" * 20000)
    flood.close()
    d = Client(host)
    d.request("{Cmd:GetDevices}{InvokeId:z}", "GetDevices", "Ok")
    check(host.alive(), "the service survived")
    check(host.stop() == 0, "clean stop")


@case
def long_line(run):
    """A line too long to read gets one LineTooLong error, before the login too; nothing of it is shown."""
    host = run("longline", {"Password": "Zebra 42"})
    c = Client(host)

    def dropped(length):
        # A login whose text must not come back: neither in the answer nor in the protocol file.
        start = b"{Cmd:Login}{Password:"
        return start + (b"LongSecret" * 300)[:length - len(start) - 1] + b"}"

    # The next line follows in the same packet: the drop ends exactly at the line end.
    c.send_raw(dropped(3000) + b"\r\n{Cmd:Ping}{InvokeId:p1}\r\n")
    f = c.expect(lambda f: f.get("Response") is not None)
    check(f.get("Response") == "Error" and f.get("Error") == "LineTooLong" and "Cmd" not in f, repr(f))
    check("3000 characters" in f["Text"] and "2047" in f["Text"], "Text tells both lengths: %r" % f)
    c.expect_answer("Ping", "Ok", InvokeId="p1")
    c.request("{Cmd:GetDevices}{InvokeId:d0}", "GetDevices", "Error", Error="NotLoggedIn")
    c.request("{Cmd:Login}{Password:Zebra 42}", "Login", "Ok")
    c.send_raw(dropped(2048) + b"\n{Cmd:GetDevices}{InvokeId:d1}\n")
    f = c.expect(lambda f: f.get("Response") is not None)
    check(f.get("Error") == "LineTooLong" and "2048 characters" in f["Text"], repr(f))
    c.expect_answer("GetDevices", "Ok", InvokeId="d1")
    check(not any("LongSecret" in line for line in c.all_lines()), "the dropped text is never echoed")
    check(host.stop() == 0, "clean stop")
    log = open(os.path.join(os.path.dirname(host.exe), "TELVARIX.LOG"), encoding="latin-1").read()
    check("LongSecret" not in log, "the dropped text is not in the protocol file")
    check(re.search(r"-> \d+ \{Response:Error\}\{Error:LineTooLong\}\{Text:the line had 3000 characters", log),
          "the answer is in the protocol file")


@case
def two_clients(run):
    """Each client sees the events of its own lines only; a departing client's lines close."""
    host = run("twoclients")
    a = Client(host)
    b = Client(host)
    a.request("{Cmd:MonitorStart}{Ext:201}", "MonitorStart", "Ok")
    b.request("{Cmd:MonitorStart}{Ext:202}", "MonitorStart", "Ok")
    a.request("{Cmd:MonitorStart}{Ext:203}", "MonitorStart", "Ok")
    b.request("{Cmd:GetDevices}{InvokeId:sync}", "GetDevices", "Ok")
    a.request("{Cmd:GetDevices}{InvokeId:sync}", "GetDevices", "Ok")

    def event_exts(client):
        return sorted({f["Ext"] for f in map(fields, client.all_lines()) if f and "Event" in f and "Ext" in f})

    check(event_exts(a) == ["201", "203"], "client A saw events of %r" % event_exts(a))
    check(event_exts(b) == ["202"], "client B saw events of %r" % event_exts(b))
    devices = device_lines(b, "b2")
    check(devices["201"]["Monitored"] == "0" and devices["202"]["Monitored"] == "1", "B's own monitors")
    check(devices["201"]["Monitors"] == "1", "one client monitors 201")
    b.request("{Cmd:MonitorStart}{Ext:201}", "MonitorStart", "Ok")
    check(device_lines(b, "b3")["201"]["Monitors"] == "2", "both monitor 201")

    def state_lines(client, ext):
        return [f["Event"] for f in map(fields, client.all_lines())
                if f and f.get("Ext") == ext and f.get("Event") in ("Forwarding", "PhoneState")]

    # B joined an open line: it learns the line's state, and A does not hear it a second time.
    check(state_lines(b, "201") == ["Forwarding", "PhoneState"], "B got 201's state: %r" % state_lines(b, "201"))
    a.request("{Cmd:GetDevices}{InvokeId:sync2}", "GetDevices", "Ok")
    check(state_lines(a, "201") == ["Forwarding", "PhoneState"], "A heard 201's state once: %r" % state_lines(a, "201"))
    a.close()
    time.sleep(1)
    devices = device_lines(b, "b4")
    check(devices["203"]["Open"] == "0", "203 closes when its only client leaves")
    check(devices["201"]["Open"] == "1" and devices["201"]["Monitors"] == "1", "201 stays open for B")
    check(host.stop() == 0, "clean stop")


def pbx_file(run, name, addresses):
    path = os.path.join(run.build, "host-tests", name + ".pbx")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        for n, address in enumerate(addresses):
            f.write("line name=\"Line %d\" address=%s\n" % (n, address))
    return {"TVX_PBX": "Z:" + path.replace("/", "\\")}


def events_of(client, start=0):
    """The line events a client received (the Welcome and other service-wide events left out)."""
    return [f for f in map(fields, client.all_lines()[start:]) if f and "Event" in f and "Ext" in f]


@case
def no_monitor_limit(run):
    """One client monitors 300 lines of a 500-line PBX; look-alike extensions never cross."""
    special = ["11", "2011", "201", "1201", "030-1234"]
    plain = [str(5000 + n) for n in range(500 - len(special))]
    host = run("nolimit", env=pbx_file(run, "nolimit", special + plain))
    big = Client(host)
    started = time.time()
    for ext in plain[:300]:
        big.send("{Cmd:MonitorStart}{Ext:%s}" % ext)
    for ext in plain[:300]:
        big.expect_answer("MonitorStart", "Ok", 20, Ext=ext)
    print("300 monitors answered in %.1f s" % (time.time() - started))
    opened = {f["Ext"] for f in events_of(big) if f["Event"] == "PhoneState"}
    check(opened == set(plain[:300]), "every monitored line told its state: %d" % len(opened))
    # A call between two monitored lines and one between two lines the client does not monitor.
    mark = len(big.all_lines())
    big.request("{Cmd:MakeCall}{InvokeId:m}{Ext:%s}{Dest:%s}" % (plain[0], plain[299]), "MakeCall", "Accepted")
    big.expect(lambda f: f.get("Event") == "CallReceived" and f["Ext"] == plain[299], 10)
    lonely = Client(host)
    lonely.request("{Cmd:MonitorStart}{Ext:%s}" % plain[400], "MonitorStart", "Ok")
    lonely.request("{Cmd:MakeCall}{Ext:%s}{Dest:%s}" % (plain[400], plain[401]), "MakeCall", "Accepted")
    lonely.expect(lambda f: f.get("Event") == "CallDelivered", 10)
    time.sleep(1)
    exts = {f["Ext"] for f in events_of(big, mark)}
    check(exts == {plain[0], plain[299]}, "the big client heard only its lines: %r" % exts)

    clients = {}
    for ext in special:
        clients[ext] = Client(host)
        clients[ext].request("{Cmd:MonitorStart}{Ext:%s}" % ext, "MonitorStart", "Ok", Ext=ext)
    clients["11"].request("{Cmd:MakeCall}{Ext:11}{Dest:201}", "MakeCall", "Accepted")
    clients["201"].expect(lambda f: f.get("Event") == "CallReceived" and f["Caller"] == "11", 10)
    clients["1201"].request("{Cmd:MakeCall}{Ext:1201}{Dest:2011}", "MakeCall", "Accepted")
    clients["2011"].expect(lambda f: f.get("Event") == "CallReceived" and f["Caller"] == "1201", 10)
    clients["030-1234"].request("{Cmd:MakeCall}{Ext:030-1234}{Dest:11}", "MakeCall", "Accepted")
    clients["030-1234"].expect(lambda f: f.get("Event") == "CallFailed" or f.get("Event") == "CallDelivered", 10)
    time.sleep(1)
    for ext, client in clients.items():
        heard = {f["Ext"] for f in events_of(client)}
        check(heard == {ext}, "the client of %s heard %r" % (ext, heard))
    check(host.stop() == 0, "clean stop")


def expect_event(client, name, ext, timeout=10, **values):
    return client.expect(lambda f: f.get("Event") == name and f.get("Ext") == ext and
                         all(f.get(k) == v for k, v in values.items()), timeout)


@case
def far_end_hangup(run):
    """The near line hears the far end go; when its last monitor leaves, the line is cleared and closed."""
    host = run("farend")
    a = Client(host)
    b = Client(host)
    a.request("{Cmd:MonitorStart}{Ext:201}", "MonitorStart", "Ok")
    b.request("{Cmd:MonitorStart}{Ext:202}", "MonitorStart", "Ok")
    a.request("{Cmd:MakeCall}{InvokeId:1}{Ext:201}{Dest:202}", "MakeCall", "Accepted")
    ring = expect_event(b, "CallReceived", "202", Caller="201")
    b.request("{Cmd:AnswerCall}{Ext:202}", "AnswerCall", "Accepted")
    expect_event(b, "CallEstablished", "202")
    a.request("{Cmd:ClearConnection}{Ext:201}", "ClearConnection", "Accepted")
    gone = expect_event(b, "CallDisconnected", "202", Call=ring["Call"])
    check(gone["Mode"] == "Normal" and gone["CallId"] == ring["CallId"], "disconnect event %r" % gone)
    b.close()
    c = Client(host)
    deadline = time.time() + 10
    while True:
        devices = device_lines(c, "d%d" % int(time.time() * 1000))
        if devices["202"]["Open"] == "0" or time.time() > deadline:
            break
        time.sleep(0.3)
    check(devices["202"]["Open"] == "0" and devices["202"]["Calls"] == "()", "202 cleared and closed: %r" % devices["202"])
    check("line 202: clearing disconnected call" in host.text(), "the service hung the call up itself")
    # The extension is free at the PBX again.
    c.request("{Cmd:MonitorStart}{Ext:202}", "MonitorStart", "Ok")
    c.request("{Cmd:MakeCall}{InvokeId:2}{Ext:202}{Dest:203}", "MakeCall", "Accepted")
    c.expect_answer("MakeCall", "Done", 10, InvokeId="2", Success="1")
    expect_event(c, "CallDelivered", "202", Called="203")
    check(host.stop() == 0, "clean stop")


@case
def talk_time(run):
    """Phones put down after a far-end hang-up; the record counts the talk, not the time off hook."""
    host = run("talktime", env={"TVX_SIM_ONHOOK_AFTER_MS": "3000"})
    c = Client(host)
    for ext in ("201", "202"):
        c.request("{Cmd:MonitorStart}{Ext:%s}" % ext, "MonitorStart", "Ok")
    c.request("{Cmd:MakeCall}{Ext:201}{Dest:202}", "MakeCall", "Accepted")
    expect_event(c, "CallReceived", "202")
    c.request("{Cmd:AnswerCall}{Ext:202}", "AnswerCall", "Accepted")
    expect_event(c, "CallEstablished", "202")
    time.sleep(2)
    c.request("{Cmd:ClearConnection}{Ext:201}", "ClearConnection", "Accepted")
    hung = time.time()
    expect_event(c, "CallDisconnected", "202", Mode="Normal")
    record = expect_event(c, "CallRecord", "202", 10, Direction="In")
    cleared_after = time.time() - hung
    expect_event(c, "CallCleared", "202")
    expect_event(c, "HookState", "202", OffHook="0")
    check(cleared_after >= 2.5, "the phone was put down only after a while (%.1f s)" % cleared_after)
    check(int(record["Duration"]) in (2, 3), "talk time %s s, not the %.0f s off hook" %
          (record["Duration"], 2 + cleared_after))
    check(host.stop() == 0, "clean stop")


@case
def late_monitor(run):
    """A client that starts monitoring a ringing line learns the call and the true phone state."""
    host = run("latemonitor")
    a = Client(host)
    for ext in ("201", "202"):
        a.request("{Cmd:MonitorStart}{Ext:%s}" % ext, "MonitorStart", "Ok")
    a.request("{Cmd:MakeCall}{Ext:201}{Dest:202}", "MakeCall", "Accepted")
    ring = expect_event(a, "CallReceived", "202", Caller="201")
    b = Client(host)
    b.send("{Cmd:MonitorStart}{InvokeId:late}{Ext:202}")
    b.expect_answer("MonitorStart", "Ok", InvokeId="late", Ext="202")
    got = events_of(b)
    check([f["Event"] for f in got] == ["Forwarding", "PhoneState", "CallState"], "snapshot %r" % got)
    check(got[1]["Alerting"] == "1" and got[1]["Active"] == "0", "a ringing line is alerting: %r" % got[1])
    call = got[2]
    check(call["Call"] == ring["Call"] and call["CallId"] == ring["CallId"] and call["State"] == "offering" and
          call["Direction"] == "In" and call["Caller"] == "201" and call["InvokeId"] == "late", "call %r" % call)
    b.send("{Cmd:GetDevices}{InvokeId:g}")
    b.expect_answer("GetDevices", "Ok", InvokeId="g")
    data = [f for f in map(fields, b.all_lines()) if f and f.get("Data") == "Call" and f.get("Ext") == "202"]
    check(len(data) == 1 and data[0]["State"] == "offering" and data[0]["Caller"] == "201", "device call %r" % data)
    check(host.stop() == 0, "clean stop")


@case
def login_throttle(run):
    """1000 wrong passwords from one address: delayed, locked out, logged without any guess."""
    host = run("throttle", {"Password": "Zebra 42", "LoginTimeout": "300"})
    c = Client(host)
    started = time.time()
    for n in range(1000):
        c.send("{Cmd:Login}{Password:guess%04d}" % n)
    answers = [c.expect_answer("Login", "Error", 30)["Error"] for n in range(1000)]
    took = time.time() - started
    c.request("{Cmd:Login}{Password:Zebra 42}", "Login", "Error", Error="LoginLocked")
    other = Client(host)
    other.request("{Cmd:Login}{Password:Zebra 42}", "Login", "Error", Error="LoginLocked")
    print("1000 wrong passwords answered in %.2f s: %d BadPassword, %d LoginLocked" %
          (took, answers.count("BadPassword"), answers.count("LoginLocked")))
    # Three free mistakes, then waits of 1, 2, 4 ... s: how many are checked depends on the pace.
    check(4 <= answers.count("BadPassword") <= 10 and answers[:4] == ["BadPassword"] * 4 and
          answers.count("BadPassword") + answers.count("LoginLocked") == 1000, "answers %r" % answers[:12])
    check(host.stop() == 0, "clean stop")
    log = open(os.path.join(os.path.dirname(run.exe), "TELVARIX.LOG"), encoding="latin-1").read()
    print("\n".join(l for l in log.splitlines() if "password" in l or "locked" in l))
    check("guess" not in log and "Zebra" not in log, "no guess and no password in the protocol file")
    check("{Cmd:Login}{Password:***}" in log, "the logins are in the file, masked")
    check("wrong password (4 in a row)" in log, "the failures are logged")
    check("guess" not in host.text() and "Zebra" not in host.text(), "nor in the console")


@case
def refused_settings(run):
    """Settings that cannot be used stop the start with a clear message; nothing listens."""
    cases = [
        ("brace", {"Password": "a{b"}, "Password holds a brace"),
        ("toolong", {"Password": "x" * 65}, "Password is longer than 64 characters"),
        ("listen", {"ListenAddress": "here"}, "ListenAddress \"here\" is not an IPv4 address"),
        ("binary", b"\x00\x01\x02garbage\xff" * 20, "the file is not text"),
        ("nosection", b"Port=25001\r\nPassword=x\r\n", "the file has no [General] section"),
    ]
    for name, settings, reason in cases:
        host = run("refused_" + name, settings, expect_start=False)
        code = host.proc.wait(timeout=60)
        check(code == 3, "%s: exit code %r\n%s" % (name, code, host.text()))
        check(reason in host.text() and "the service does not start" in host.text(), "%s: %s" % (name, host.text()))
        log = open(os.path.join(os.path.dirname(run.exe), "TELVARIX.LOG"), encoding="latin-1").read()
        check(reason in log, "%s: the protocol file says why" % name)
        check("listening" not in log, "%s: nothing listens" % name)


@case
def connection_limits(run):
    """An idle connection is closed, one address cannot take every slot, the listen address holds."""
    host = run("limits", {"IdleTimeout": "2", "MaxClientsPerAddress": "3", "ListenAddress": "127.0.0.2"})
    refused = Client(host)
    check(refused.welcome == {"Event": "Refused", "Error": "AddressNotAllowed"}, "127.0.0.1 is not the listen address")
    busy = Client(host, address="127.0.0.2")
    busy.request("{Cmd:MonitorStart}{Ext:201}", "MonitorStart", "Ok")
    idle = Client(host, address="127.0.0.2")
    third = Client(host, address="127.0.0.2")
    fourth = Client(host, address="127.0.0.2")
    check(fourth.welcome == {"Event": "Refused", "Error": "TooManyConnections"}, "fourth %r" % fourth.welcome)
    idle.expect(lambda f: f.get("Event") == "IdleTimeout", 6)
    check(idle.wait_closed(5), "the idle connection is closed")
    check(third.wait_closed(5), "the third was idle too")
    time.sleep(1)
    check(not busy.closed, "a monitoring client is not idle")
    busy.request("{Cmd:Ping}{InvokeId:p}", "Ping", "Ok", InvokeId="p")
    check(host.stop() == 0, "clean stop")


@case
def event_log(run):
    """Start, stop and refused settings reach the Windows event log through the source "Telvarix"."""
    trace = {"WINEDEBUG": "-all,+eventlog,err+eventlog"}
    host = run("eventlog", env=trace)
    check(host.stop() == 0, "clean stop")
    text = host.text()
    started = "Port %d, " % host.port
    check(started in text and "line devices." in text, "the start is reported:\n" + text)
    check("Port %d." % host.port in text, "the stop is reported:\n" + text)
    print("\n".join(l for l in text.splitlines() if "eventlog" in l))
    key = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Telvarix"
    reg = subprocess.run([run.wine_run, "run", run.build, "reg", "query", key], stdin=subprocess.DEVNULL,
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60).stdout.decode("latin-1")
    check("EventMessageFile" in reg and "TELVARIX.EXE" in reg.upper() and "TypesSupported" in reg,
          "the source names the program's message table:\n" + reg)
    refused = run("eventlog_refused", {"Password": "a{b"}, env=trace, expect_start=False)
    check(refused.proc.wait(timeout=60) == 3, "refused start")
    check("Password holds a brace" in "\n".join(l for l in refused.text().splitlines() if "eventlog" in l),
          "the refusal is an event-log entry:\n" + refused.text())


@case
def doc_examples(run):
    """Every command line the protocol doc shows is understood by the service, in the doc's order, Quit last."""
    doc = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs", "zarn-protocol.md")
    lines = [l[4:] for l in open(doc, encoding="utf-8").read().splitlines() if l.startswith("    {Cmd:")]
    # The examples block ends with Quit; the dialogues shown further down still need the connection.
    lines = [l for l in lines if not l.startswith("{Cmd:Quit}")] + [l for l in lines if l.startswith("{Cmd:Quit}")]
    host = run("docexamples")
    c = Client(host)
    syntax = {"Malformed", "UnknownCommand", "UnknownField", "MissingField", "BadValue", "ValueTooLong",
              "DuplicateField", "KeyTooLong"}
    for line in lines:
        f = fields(line)
        c.send(line)
        answer = c.expect(lambda g: g.get("Cmd") == f["Cmd"] and g.get("InvokeId") == f.get("InvokeId") and
                          g.get("Response") in ("Ok", "Accepted", "Error"), 10)
        check(answer.get("Error") not in syntax, "%s -> %r" % (line, answer))
    check(c.wait_closed(5), "Quit, sent last, closes the connection")
    check(host.stop() == 0, "clean stop")


@case
def call_flow(run):
    """A call from 201 to 202, answered, then transferred by 202 to 203; every response and event."""
    host = run("callflow")
    c = Client(host)
    for ext in ("201", "202", "203"):
        c.request("{Cmd:MonitorStart}{Ext:%s}" % ext, "MonitorStart", "Ok")

    def event(name, ext, timeout=10, **values):
        return c.expect(lambda f: f.get("Event") == name and f.get("Ext") == ext and
                        all(f.get(k) == v for k, v in values.items()), timeout)

    c.request("{Cmd:MakeCall}{InvokeId:17}{Ext:201}{Dest:202}", "MakeCall", "Accepted", InvokeId="17", Ext="201")
    mark = c.seen
    c.expect_answer("MakeCall", "Done", 10, InvokeId="17", Ext="201", Success="1", Result="0")
    c.seen = mark
    out = event("CallOriginated", "201")
    c.seen = mark
    event("HookState", "201", OffHook="1")
    c.seen = mark
    event("CallDelivered", "201", Called="202", Call=out["Call"])
    c.seen = mark
    ring = event("CallReceived", "202", Caller="201")
    event("DeviceInformation", "202", CallCount="1", Calls="(0%s:alerting)" % ring["CallId"])

    c.request("{Cmd:AnswerCall}{InvokeId:18}{Ext:202}", "AnswerCall", "Accepted", InvokeId="18")
    mark = c.seen
    c.expect_answer("AnswerCall", "Done", 10, InvokeId="18", Success="1")
    c.seen = mark
    event("CallEstablished", "202", Connected="201", Call=ring["Call"])
    c.seen = mark
    event("CallEstablished", "201", Connected="202", Call=out["Call"])

    c.request("{Cmd:ConsultationCall}{InvokeId:19}{Ext:202}{Dest:203}", "ConsultationCall", "Accepted",
              InvokeId="19")
    mark = c.seen
    event("CallHeld", "202", Call=ring["Call"])
    c.seen = mark
    c.expect_answer("ConsultationCall", "Done", 10, InvokeId="19", Success="1")
    c.seen = mark
    consult = event("CallDelivered", "202", Called="203")
    check(consult["Call"] != ring["Call"], "the consultation is a call of its own")
    c.seen = mark
    event("CallReceived", "203", Caller="202")
    c.request("{Cmd:AnswerCall}{InvokeId:21}{Ext:203}", "AnswerCall", "Accepted")
    event("CallEstablished", "203", Connected="202")

    c.request("{Cmd:TransferCall}{InvokeId:20}{Ext:202}", "TransferCall", "Accepted", InvokeId="20")
    mark = c.seen
    c.expect_answer("TransferCall", "Done", 10, InvokeId="20", Success="1")
    c.seen = mark
    event("CallTransferred", "202")
    c.seen = mark
    record = event("CallRecord", "202", Direction="In", Number="201", Connected="1")
    check(len(record.get("Start", "")) == 19, "the record has its start: %r" % record)
    c.seen = mark
    event("HookState", "202", OffHook="0")
    c.seen = mark
    event("DeviceInformation", "202", CallCount="0", Calls="()")

    c.request("{Cmd:ClearConnection}{InvokeId:22}{Ext:201}", "ClearConnection", "Accepted")
    mark = c.seen
    event("CallCleared", "201", Call=out["Call"])
    c.seen = mark
    event("CallRecord", "201", Direction="Out", Number="202", Connected="1")
    # The far end only hears the disconnect; its call is cleared when it hangs up too.
    c.request("{Cmd:ClearConnection}{InvokeId:23}{Ext:203}", "ClearConnection", "Accepted")
    event("CallCleared", "203")
    event("DeviceInformation", "203", CallCount="0", Calls="()")
    c.request("{Cmd:HoldCall}{Ext:201}", "HoldCall", "Error", Error="NoSuitableCall")
    check(host.stop() == 0, "clean stop")


@case
def more_commands(run):
    """Forwarding, deflect, pickup, hold, retrieve, alternate and conference through ZARN."""
    host = run("morecommands")
    c = Client(host)
    for ext in ("201", "202", "203"):
        c.request("{Cmd:MonitorStart}{Ext:%s}" % ext, "MonitorStart", "Ok")

    def command(line, cmd, invoke):
        c.request(line, cmd, "Accepted", InvokeId=invoke)
        mark = c.seen
        c.expect_answer(cmd, "Done", 10, InvokeId=invoke, Success="1")
        c.seen = mark

    def event(name, ext, **values):
        return c.expect(lambda f: f.get("Event") == name and f.get("Ext") == ext and
                        all(f.get(k) == v for k, v in values.items()), 10)

    command("{Cmd:SetForwarding}{InvokeId:f1}{Ext:201}{Dest:0301234}", "SetForwarding", "f1")
    event("Forwarding", "201", On="1", Dest="0301234")
    command("{Cmd:SetForwarding}{InvokeId:f2}{Ext:201}", "SetForwarding", "f2")
    event("Forwarding", "201", On="0", Dest="")
    command("{Cmd:MakeCall}{InvokeId:1}{Ext:201}{Dest:202}", "MakeCall", "1")
    event("CallReceived", "202", Caller="201")
    command("{Cmd:DeflectCall}{InvokeId:2}{Ext:202}{Dest:203}", "DeflectCall", "2")
    event("CallCleared", "202")
    event("CallReceived", "203", Caller="201", Redirecting="202")
    command("{Cmd:PickupCall}{InvokeId:3}{Ext:202}{Dest:203}", "PickupCall", "3")
    event("CallDiverted", "203")
    event("CallEstablished", "202", Connected="201")
    command("{Cmd:HoldCall}{InvokeId:4}{Ext:202}", "HoldCall", "4")
    held = event("CallHeld", "202")
    command("{Cmd:RetrieveCall}{InvokeId:5}{Ext:202}", "RetrieveCall", "5")
    event("CallRetrieved", "202", Call=held["Call"])
    command("{Cmd:ConsultationCall}{InvokeId:6}{Ext:202}{Dest:203}", "ConsultationCall", "6")
    event("CallReceived", "203", Caller="202")
    command("{Cmd:AnswerCall}{InvokeId:7}{Ext:203}", "AnswerCall", "7")
    event("CallEstablished", "202", Connected="203")
    command("{Cmd:AlternateCall}{InvokeId:8}{Ext:202}", "AlternateCall", "8")
    event("CallRetrieved", "202", Call=held["Call"])
    command("{Cmd:ConferenceCall}{InvokeId:9}{Ext:202}", "ConferenceCall", "9")
    event("CallConferenced", "202")
    command("{Cmd:ClearConnection}{InvokeId:10}{Ext:202}", "ClearConnection", "10")
    event("CallCleared", "202")
    check(host.stop() == 0, "clean stop")


@case
def forwarding_wide_text_line(run):
    """The forwarding destination of a line whose texts are UTF-16 (203 on the simulated PBX)."""
    host = run("forwardwide")
    c = Client(host)
    c.request("{Cmd:MonitorStart}{Ext:203}", "MonitorStart", "Ok")
    c.request("{Cmd:SetForwarding}{InvokeId:w}{Ext:203}{Dest:0301234}", "SetForwarding", "Accepted")
    c.expect_answer("SetForwarding", "Done", 10, InvokeId="w", Success="1")
    f = c.expect(lambda f: f.get("Event") == "Forwarding" and f["On"] == "1", 10)
    check(f["Dest"] == "0301234", "forwarding event of 203: %r" % f)
    check(host.stop() == 0, "clean stop")


@case
def pickup_own_line(run):
    """A pickup of the call ringing at the picker's own line is refused and the caller stays; others pick up."""
    host = run("pickupown")
    c = Client(host)
    for ext in ("201", "202", "203"):
        c.request("{Cmd:MonitorStart}{Ext:%s}" % ext, "MonitorStart", "Ok")
    c.request("{Cmd:MakeCall}{Ext:201}{Dest:202}", "MakeCall", "Accepted")
    ring = expect_event(c, "CallReceived", "202", Caller="201")
    f = c.request("{Cmd:PickupCall}{InvokeId:p}{Ext:202}{Dest:202}", "PickupCall", "Error", Error="BadValue",
                  Field="Dest", InvokeId="p")
    check("AnswerCall" in f["Text"], repr(f))
    time.sleep(1)
    devices = device_lines(c, "still")
    check(devices["202"]["Calls"] == "(%s:offering)" % ring["Call"], "the call still rings at 202: %r" % devices["202"])
    c.request("{Cmd:PickupCall}{InvokeId:q}{Ext:203}{Dest:202}", "PickupCall", "Accepted", InvokeId="q")
    c.expect_answer("PickupCall", "Done", 10, InvokeId="q", Success="1")
    expect_event(c, "CallEstablished", "203", Connected="201")
    expect_event(c, "CallEstablished", "201", Connected="203")
    check(host.stop() == 0, "clean stop")


@case
def call_data_wide_line(run):
    """Call data sent on with a deflected call reach a line whose texts are UTF-16 as they were sent."""
    host = run("calldatawide")
    c = Client(host)
    for ext in ("201", "202", "203"):
        c.request("{Cmd:MonitorStart}{Ext:%s}" % ext, "MonitorStart", "Ok")
    c.request("{Cmd:MakeCall}{Ext:201}{Dest:202}", "MakeCall", "Accepted")
    expect_event(c, "CallReceived", "202", Caller="201")
    mark = len(c.all_lines())
    c.request("{Cmd:DeflectCall}{InvokeId:d}{Ext:202}{Dest:203}{CallData:order 4711}", "DeflectCall", "Accepted")
    c.expect_answer("DeflectCall", "Done", 10, InvokeId="d", Success="1")
    expect_event(c, "CallReceived", "203", Caller="201", Redirecting="202")
    # The phone state of the ringing line may come before or after its CallReceived.
    ringing = lambda f: f and f.get("Event") == "PhoneState" and f.get("Ext") == "203" and f.get("Alerting") == "1"
    deadline = time.time() + 10
    while not [f for f in map(fields, c.all_lines()[mark:]) if ringing(f)] and time.time() < deadline:
        time.sleep(0.1)
    states = [f for f in map(fields, c.all_lines()[mark:]) if ringing(f)]
    check(states and states[-1]["CallData"] == "order 4711", "call data at 203: %r" % states)
    check(host.stop() == 0, "clean stop")


@case
def filters(run):
    """FilterInbound hides the inbound calls from numbers that start with it, and nothing else."""
    host = run("filters", {"FilterInbound": "20", "FilterOutbound": "203"})
    c = Client(host)
    for ext in ("201", "202"):
        c.request("{Cmd:MonitorStart}{Ext:%s}" % ext, "MonitorStart", "Ok")
    c.request("{Cmd:MakeCall}{InvokeId:1}{Ext:201}{Dest:202}", "MakeCall", "Accepted")
    c.expect(lambda f: f.get("Event") == "CallDelivered" and f["Ext"] == "201", 10)
    c.expect(lambda f: f.get("Event") == "DeviceInformation" and f["Ext"] == "202", 10)
    c.request("{Cmd:AnswerCall}{Ext:202}", "AnswerCall", "Accepted")
    c.expect(lambda f: f.get("Event") == "CallEstablished" and f["Ext"] == "201", 10)
    c.request("{Cmd:ClearConnection}{Ext:202}", "ClearConnection", "Accepted")
    c.expect(lambda f: f.get("Event") == "HookState" and f["Ext"] == "202" and f["OffHook"] == "0", 10)
    c.request("{Cmd:ClearConnection}{Ext:201}", "ClearConnection", "Accepted")
    c.expect(lambda f: f.get("Event") == "CallRecord" and f["Ext"] == "201" and f["Direction"] == "Out", 10)
    c.request("{Cmd:GetDevices}{InvokeId:end}", "GetDevices", "Ok")
    call_events = [f for f in map(fields, c.all_lines()) if f and f.get("Event", "").startswith("Call")]
    check(not [f for f in call_events if f["Ext"] == "202"], "202's inbound call from 201 is hidden: %r" % call_events)
    check({f["Event"] for f in call_events if f["Ext"] == "201"} >=
          {"CallOriginated", "CallDelivered", "CallEstablished", "CallCleared", "CallRecord"},
          "201's outbound call is reported: %r" % call_events)
    # Outbound: a call to 203 shows its start, but nothing from the moment the number is known.
    mark = len(c.all_lines())
    c.request("{Cmd:MakeCall}{InvokeId:2}{Ext:201}{Dest:203}", "MakeCall", "Accepted")
    c.expect(lambda f: f.get("Event") == "CallOriginated" and f["Ext"] == "201", 10)
    c.request("{Cmd:ClearConnection}{Ext:201}", "ClearConnection", "Accepted")
    c.expect(lambda f: f.get("Event") == "HookState" and f["Ext"] == "201" and f["OffHook"] == "0", 10)
    later = [f["Event"] for f in map(fields, c.all_lines()[mark:]) if f and f.get("Event", "").startswith("Call")]
    check(later == ["CallOriginated"], "outbound call to 203 shows only its start: %r" % later)
    check(host.stop() == 0, "clean stop")


@case
def protocol_levels(run):
    """UseProtocol 3 writes the library traces; 0 writes no file at all."""
    path = os.path.join(os.path.dirname(run.exe), "TELVARIX.LOG")
    host = run("level3", {"UseProtocol": "3"})
    Client(host).request("{Cmd:MonitorStart}{Ext:201}", "MonitorStart", "Ok")
    check(host.stop() == 0, "clean stop")
    log = open(path, encoding="latin-1").read()
    check("LINVOQ" in log and ">>LINVOQ: DoMonitorStart 201" in log, "library traces at level 3")
    check("VESSNET" in log and "-> <201> {Event:Forwarding}" in log, "server traces and traffic at level 3")
    check("line 201 opened" in host.text() and "-> <201>" not in host.text() and "LINVOQ" not in host.text(),
          "the console shows the level-1 lines only:\n" + host.text())
    host = run("level0", {"UseProtocol": "0"})
    Client(host).request("{Cmd:MonitorStart}{Ext:202}", "MonitorStart", "Ok")
    check(host.stop() == 0, "clean stop")
    check(open(path, encoding="latin-1").read() == log, "level 0 leaves the protocol files alone")


@case
def disconnect_mid_call(run):
    """A client that vanishes during a call leaves the call and the service alive."""
    host = run("disconnect")
    a = Client(host)
    b = Client(host)
    b.request("{Cmd:MonitorStart}{Ext:202}", "MonitorStart", "Ok")
    a.request("{Cmd:MonitorStart}{Ext:201}", "MonitorStart", "Ok")
    a.request("{Cmd:MakeCall}{InvokeId:1}{Ext:201}{Dest:202}", "MakeCall", "Accepted")
    a.expect(lambda f: f.get("Event") == "CallDelivered", 10)
    b.expect(lambda f: f.get("Event") == "CallReceived" and f["Caller"] == "201", 10)
    a.close()
    time.sleep(0.5)
    devices = device_lines(b, "mid")
    check(devices["201"]["Monitors"] == "0" and devices["201"]["Open"] == "1",
          "201 stays open while its call lives: %r" % devices["201"])
    b.request("{Cmd:AnswerCall}{Ext:202}", "AnswerCall", "Accepted")
    b.expect(lambda f: f.get("Event") == "CallEstablished" and f["Ext"] == "202" and f["Connected"] == "201", 10)
    b.request("{Cmd:ClearConnection}{Ext:202}", "ClearConnection", "Accepted")
    b.expect(lambda f: f.get("Event") == "CallCleared" and f["Ext"] == "202", 10)
    # 201's call is left disconnected by its far end: the service hangs it up, then closes the line.
    deadline = time.time() + 5
    while device_lines(b, "after%d" % int(time.time() * 1000))["201"]["Open"] != "0" and time.time() < deadline:
        time.sleep(0.2)
    check(device_lines(b, "after")["201"]["Open"] == "0", "201 closes once its call is over")
    check(all(f is None or f.get("Ext") != "201" or "Event" not in f for f in map(fields, b.all_lines())),
          "B never saw 201's events")
    c = Client(host)
    c.request("{Cmd:MonitorStart}{Ext:201}", "MonitorStart", "Ok")
    check(host.alive(), "the service survived")
    check(host.stop() == 0, "clean stop")


@case
def service(run):
    """Registered, started and stopped through the service control manager."""
    bindir = os.path.dirname(run.exe)
    ini = os.path.join(bindir, "TELVARIX.INI")
    port = free_port()
    with open(ini, "w", newline="\r\n") as f:
        f.write("[General]\nPort=%d\nUseProtocol=1\nKeepAlive=0\n" % port)

    def wine(*args, timeout=60):
        return subprocess.run([run.wine_run, "run", run.build] + list(args), stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout)

    def state():
        return wine("sc", "query", "Telvarix").stdout.decode("latin-1")

    try:
        installed = wine(run.exe, "--install")
        check(installed.returncode == 0, "install: " + installed.stdout.decode("latin-1"))
        config = wine("reg", "query", "HKLM\\SYSTEM\\CurrentControlSet\\Services\\Telvarix").stdout.decode("latin-1")
        values = {}
        for line in config.splitlines():
            parts = line.split(None, 2)
            if len(parts) == 3 and parts[1].startswith("REG_"):
                values[parts[0]] = parts[2].strip()
        check(values.get("Start") == "0x2" and values.get("DependOnService", "").startswith("tapisrv") and
              values.get("Type") == "0x110" and values.get("Description", "").startswith("Telvarix provides"),
              "registered as the setup does:\n" + config)
        check(values.get("ImagePath", "").startswith('"') and values["ImagePath"].upper().endswith('TELVARIX.EXE"'),
              "the program path is quoted:\n" + config)
        # A prefix without the telephony service cannot start what depends on it: the start and
        # stop are then checked on a registration without the dependency.
        if wine("sc", "query", "tapisrv").returncode != 0:
            wine(run.exe, "--remove")
            wine("sc", "create", "Telvarix", "binPath=", '"%s"' % windows_path(run.exe), "start=", "demand")
        wine("sc", "start", "Telvarix")
        client = None
        deadline = time.time() + 30
        while client is None and time.time() < deadline:
            try:
                client = Client(type("H", (), {"port": port})())
            except OSError:
                time.sleep(0.3)
        check(client is not None, "the service does not listen; sc says:\n" + state())
        check(client.welcome.get("Event") == "Welcome", "welcome from the service")
        client.request("{Cmd:MonitorStart}{Ext:201}", "MonitorStart", "Ok")
        check("RUNNING" in state(), "the manager reports it running")
        stop_asked = time.time()
        wine("sc", "stop", "Telvarix")
        client.expect(lambda f: f.get("Event") == "Shutdown", 5)
        check(client.wait_closed(5), "the stop closes the connections")
        while "STOPPED" not in state():
            check(time.time() - stop_asked < 5, "stopped within 5 s; sc says:\n" + state())
            time.sleep(0.2)
        log = open(os.path.join(bindir, "TELVARIX.LOG"), encoding="latin-1").read()
        check("Telvarix stopped" in log, "the protocol file records the stop")
    finally:
        wine("sc", "stop", "Telvarix")
        wine(run.exe, "--remove")
        os.remove(ini)


@case
def show_events(run):
    """--show-events: the console shows the events of every line, clients still only their own."""
    host = run("show_events", extra_args=["--show-events"])
    check(host.wait_output("line 203 opened for the console", 10), "every line is opened for the console")
    c = Client(host)
    c.request("{Cmd:MonitorStart}{Ext:201}", "MonitorStart", "Ok", Ext="201")
    c.request("{Cmd:MakeCall}{InvokeId:m}{Ext:201}{Dest:202}", "MakeCall", "Accepted", InvokeId="m")
    c.expect(lambda f: f.get("Event") == "CallDelivered" and f.get("Ext") == "201", 10)
    check(host.wait_output("event {Event:CallReceived}{Ext:202}", 10), "the console shows the event of line 202")
    time.sleep(1)
    check(not any(fields(l).get("Ext") == "202" and "Event" in fields(l) for l in c.all_lines()),
          "the client does not get the events of the line it does not monitor")
    c.close()
    check(host.wait_output("client", 5), "the service saw the client")
    time.sleep(1)
    check("line 201 closed" not in host.text(), "the console keeps the line open after the client left")
    check(host.stop() == 0, "clean stop")

    # Hundreds of lines: the console and the protocol file are written in large pieces at the start,
    # and must still show every line opened, with its first events, in order.
    exts = [str(30000 + n) for n in range(600)]
    many = run("show_events_many", env=pbx_file(run, "show_events_many", exts), extra_args=["--show-events"])
    check(many.wait_output("line %s opened for the console" % exts[-1], 30), "the last line is opened")
    c = Client(many)
    devices = device_lines(c, "d")
    check(sorted(devices) == exts and all(d["Open"] == "1" for d in devices.values()), "every line is open")
    c.close()
    check(many.stop() == 0, "clean stop")
    expected = []
    for n, ext in enumerate(exts):
        expected += ["event {Event:Forwarding}{Ext:%s}{DeviceId:%d}{On:0}{Dest:}" % (ext, n),
                     "event {Event:PhoneState}{Ext:%s}{DeviceId:%d}{Active:0}{Held:0}{Alerting:0}{CallData:}" % (ext, n),
                     "line %s opened for the console" % ext]
    wanted = set(expected)

    def shown(text):
        texts = (re.sub(r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} ", "", line.rstrip("\r")) for line in text.split("\n"))
        return [t for t in texts if t in wanted]

    check(shown(many.text()) == expected, "the console shows each line's open and events once, in order")
    log = open(os.path.join(os.path.dirname(many.exe), "TELVARIX.LOG"), encoding="latin-1").read()
    check(shown(log) == expected, "the protocol file holds the same lines")


def call_states(client, invoke):
    """{ext: {call handle: state}} from GetDevices."""
    client.send("{Cmd:GetDevices}{InvokeId:%s}" % invoke)
    mark = client.seen
    client.expect_answer("GetDevices", "Ok", InvokeId=invoke)
    states = {}
    for line in client.all_lines()[mark:]:
        f = fields(line)
        if f and f.get("Data") == "Call" and f.get("InvokeId") == invoke:
            states.setdefault(f["Ext"], {})[f["Call"]] = f["State"]
    return states


def accepted_and_done(c, line, cmd, invoke):
    c.request(line, cmd, "Accepted", InvokeId=invoke)
    mark = c.seen
    c.expect_answer(cmd, "Done", 10, InvokeId=invoke, Success="1")
    c.seen = mark


@case
def conference_leave_by_call(run):
    """201 calls 202, consults 203, conferences; 201 drops the 203 party by its handle, 201 and 202 talk on."""
    host = run("confleave")
    c = Client(host)
    for ext in ("201", "202", "203"):
        c.request("{Cmd:MonitorStart}{Ext:%s}" % ext, "MonitorStart", "Ok")
    accepted_and_done(c, "{Cmd:MakeCall}{InvokeId:1}{Ext:201}{Dest:202}", "MakeCall", "1")
    expect_event(c, "CallReceived", "202", Caller="201")
    accepted_and_done(c, "{Cmd:AnswerCall}{InvokeId:2}{Ext:202}", "AnswerCall", "2")
    to202 = expect_event(c, "CallEstablished", "201", Connected="202")["Call"]
    accepted_and_done(c, "{Cmd:ConsultationCall}{InvokeId:3}{Ext:201}{Dest:203}", "ConsultationCall", "3")
    expect_event(c, "CallReceived", "203", Caller="201")
    accepted_and_done(c, "{Cmd:AnswerCall}{InvokeId:4}{Ext:203}", "AnswerCall", "4")
    to203 = expect_event(c, "CallEstablished", "201", Connected="203")["Call"]
    check(to203 != to202, "two calls on 201")
    accepted_and_done(c, "{Cmd:ConferenceCall}{InvokeId:5}{Ext:201}", "ConferenceCall", "5")
    mark = c.seen
    expect_event(c, "CallConferenced", "201", Call=to202)
    c.seen = mark
    expect_event(c, "CallConferenced", "201", Call=to203)

    # The oldest call of 201 is the 202 party: the handle makes the 203 party leave instead.
    accepted_and_done(c, "{Cmd:ClearConnection}{InvokeId:6}{Ext:201}{Call:%s}" % to203, "ClearConnection", "6")
    mark = c.seen
    expect_event(c, "CallConfRemoved", "201", Call=to203)
    c.seen = mark
    expect_event(c, "CallCleared", "201", Call=to203)
    c.seen = mark
    expect_event(c, "CallDisconnected", "203")
    states = call_states(c, "d")
    check(to203 not in states.get("201", {}), "the 203 party left 201: %r" % states)
    check(states.get("201", {}).get(to202) == "conferenced", "the 202 party stays in the conference: %r" % states)
    check(sorted(states["201"].values()) == ["conferenced", "connected"], "conference call and one party: %r" % states)
    check(list(states.get("202", {}).values()) == ["connected"], "202 still talks: %r" % states)
    check(list(states.get("203", {}).values()) == ["disconnected"], "203 was left: %r" % states)
    check(host.stop() == 0, "clean stop")


def numbered(client, ext, start=0):
    """The numbered events of ext a ZARN 2 client received, in order."""
    return [f for f in events_of(client, start) if f["Ext"] == ext and "Seq" in f]


def a_call(client, ext, dest, invoke):
    """A call from ext to dest that rings and is hung up again: a handful of events on both lines."""
    client.request("{Cmd:MakeCall}{InvokeId:%s}{Ext:%s}{Dest:%s}" % (invoke, ext, dest), "MakeCall", "Accepted")
    expect_event(client, "CallDelivered", ext)
    client.request("{Cmd:ClearConnection}{InvokeId:%sc}{Ext:%s}" % (invoke, ext), "ClearConnection", "Accepted")
    expect_event(client, "CallCleared", ext)


@case
def zarn2_resume(run):
    """ZARN 2: every event numbered once for all; a client back with Since gets the missed ones, then live;
    a ZARN 1 client on the same line sees exactly the lines of before."""
    host = run("zarn2_resume")
    plain = Client(host)
    check(plain.welcome.get("Offers") == "ZARN 2", "the welcome offers ZARN 2: %r" % plain.welcome)
    plain.request("{Cmd:MonitorStart}{Ext:201}", "MonitorStart", "Ok")
    ref = Client(host)
    ok = ref.request("{Cmd:SetProtocol}{InvokeId:z}{Value:2}", "SetProtocol", "Ok", Protocol="ZARN 2")
    check(len(ok["Session"]) == 16 and ok["LastSeq"].isdigit(), repr(ok))
    ref.request("{Cmd:MonitorStart}{Ext:201}", "MonitorStart", "Ok")
    away = Client(host)
    away.request("{Cmd:SetProtocol}{Value:2}", "SetProtocol", "Ok")
    away.request("{Cmd:MonitorStart}{Ext:201}", "MonitorStart", "Ok")
    mark = len(plain.all_lines())
    a_call(plain, "201", "202", "1")
    expect_event(away, "CallCleared", "201")
    expect_event(ref, "CallCleared", "201")
    seen = numbered(away, "201")
    check(seen and [f["Seq"] for f in seen] == [f["Seq"] for f in numbered(ref, "201")], "one Seq for all")
    seqs = [int(f["Seq"]) for f in seen]
    check(seqs == sorted(set(seqs)), "strictly increasing: %r" % seqs)
    check(all(len(f["Time"]) == 23 and f["Time"][19] == "." for f in seen), "Time with milliseconds")
    # The ZARN 1 client: the same events, without Seq and Time, as it always had them.
    old = [l for l in plain.all_lines()[mark:] if l.startswith("{Event:") and "{Ext:201}" in l]
    new = [l for l in away.all_lines() if "{Seq:" in l and "{Ext:201}" in l]
    stripped = [l[:l.index("{Seq:")] for l in new]
    check(old == stripped, "ZARN 1 lines:\n%s\nZARN 2 lines:\n%s" % ("\n".join(old), "\n".join(new)))
    check(not any("Seq" in fields(l) for l in plain.all_lines() if fields(l)), "no Seq for ZARN 1")
    away.close()
    a_call(plain, "201", "203", "2")
    expect_event(ref, "CallCleared", "201")
    back = Client(host)
    back.send("{Cmd:MonitorStart}{InvokeId:r}{Ext:201}{Since:%d}" % seqs[-1])
    done = back.expect_answer("MonitorStart", "Ok", InvokeId="r", Ext="201")
    replayed = [f for f in numbered(back, "201") if f.get("Replay") == "1"]
    missed = [f for f in numbered(ref, "201") if int(f["Seq"]) > seqs[-1]]
    check(replayed == [dict(f, Replay="1") for f in missed], "replayed as first sent: %r" % replayed)
    check(done.get("Replayed") == str(len(missed)) and "Gap" not in done, repr(done))
    check(done.get("Protocol") == "ZARN 2" and len(done.get("Session", "")) == 16, repr(done))
    mark = len(back.all_lines())
    a_call(plain, "201", "202", "3")
    expect_event(back, "CallCleared", "201")
    live = numbered(back, "201", mark)
    check(live and all("Replay" not in f and int(f["Seq"]) > int(done["LastSeq"]) for f in live), repr(live))
    check(host.stop() == 0, "clean stop")


@case
def call_by_handle(run):
    """{Call} picks the call: answer and retrieve the newer of two calls; wrong handles and states refused."""
    env = pbx_file(run, "callbyhandle", ["202", "203"])
    with open(env["TVX_PBX"][2:].replace("\\", "/"), "a") as f:
        f.write("line name=\"Line 201\" address=201 maxActiveCalls=3\n")  # call waiting
    host = run("callbyhandle", env=env)
    c = Client(host)
    for ext in ("201", "202", "203"):
        c.request("{Cmd:MonitorStart}{Ext:%s}" % ext, "MonitorStart", "Ok")
    for bad in ("abc", "0", "-1", "4294967296", " 5"):
        c.request("{Cmd:HoldCall}{InvokeId:b}{Ext:201}{Call:%s}" % bad, "HoldCall", "Error", Error="BadValue",
                  Field="Call")
    c.request("{Cmd:MakeCall}{InvokeId:m}{Ext:201}{Call:1}", "MakeCall", "Error", Error="UnknownField", Field="Call")

    accepted_and_done(c, "{Cmd:MakeCall}{InvokeId:1}{Ext:202}{Dest:201}", "MakeCall", "1")
    first = expect_event(c, "CallReceived", "201", Caller="202")["Call"]
    accepted_and_done(c, "{Cmd:MakeCall}{InvokeId:2}{Ext:203}{Dest:201}", "MakeCall", "2")
    second = expect_event(c, "CallReceived", "201", Caller="203")["Call"]
    at202 = call_states(c, "a")["202"]
    # Answered by handle: the newer call, not the oldest one.
    accepted_and_done(c, "{Cmd:AnswerCall}{InvokeId:3}{Ext:201}{Call:%s}" % second, "AnswerCall", "3")
    expect_event(c, "CallEstablished", "201", Call=second)
    states = call_states(c, "b")["201"]
    check(states == {first: "offering", second: "connected"}, "the newer call answered: %r" % states)

    # A handle the line does not have, and one of another line, change nothing.
    c.request("{Cmd:ClearConnection}{InvokeId:4}{Ext:201}{Call:999999}", "ClearConnection", "Error",
              Error="NoSuchCall", Field="Call", InvokeId="4")
    for handle in at202:
        f = c.request("{Cmd:ClearConnection}{InvokeId:5}{Ext:201}{Call:%s}" % handle, "ClearConnection", "Error",
                      Error="NoSuchCall", Field="Call")
        check(handle in f["Text"] and "201" in f["Text"], "the text names the call and the line: %r" % f)
    # A state the command does not work on.
    f = c.request("{Cmd:HoldCall}{InvokeId:6}{Ext:201}{Call:%s}" % first, "HoldCall", "Error",
                  Error="NoSuitableCall", Field="Call")
    check("offering" in f["Text"] and "connected" in f["Text"], "state and need named: %r" % f)
    check(call_states(c, "c")["201"] == states, "nothing changed after the refusals")

    # Two held calls: the retrieve takes the one named, not the first held.
    accepted_and_done(c, "{Cmd:HoldCall}{InvokeId:7}{Ext:201}{Call:%s}" % second, "HoldCall", "7")
    expect_event(c, "CallHeld", "201", Call=second)
    accepted_and_done(c, "{Cmd:AnswerCall}{InvokeId:8}{Ext:201}{Call:%s}" % first, "AnswerCall", "8")
    expect_event(c, "CallEstablished", "201", Call=first)
    accepted_and_done(c, "{Cmd:HoldCall}{InvokeId:9}{Ext:201}", "HoldCall", "9")
    expect_event(c, "CallHeld", "201", Call=first)
    check(call_states(c, "e")["201"] == {first: "onhold", second: "onhold"}, "two held calls")
    accepted_and_done(c, "{Cmd:RetrieveCall}{InvokeId:10}{Ext:201}{Call:%s}" % first, "RetrieveCall", "10")
    expect_event(c, "CallRetrieved", "201", Call=first)
    check(call_states(c, "f")["201"] == {first: "connected", second: "onhold"}, "the named held call came back")
    f = c.request("{Cmd:RetrieveCall}{InvokeId:11}{Ext:201}{Call:%s}" % first, "RetrieveCall", "Error",
                  Error="NoSuitableCall", Field="Call")
    check("connected" in f["Text"] and "held" in f["Text"], "state and need named: %r" % f)
    check(host.stop() == 0, "clean stop")


@case
def zarn2_gap(run):
    """ZARN 2 with a small ring: a client that was away too long gets the line's state and the Gap."""
    host = run("zarn2_gap", {"EventRing": "3"})
    keeper = Client(host)
    keeper.request("{Cmd:MonitorStart}{Ext:201}", "MonitorStart", "Ok")
    c = Client(host)
    c.request("{Cmd:SetProtocol}{Value:2}", "SetProtocol", "Ok")
    c.request("{Cmd:MonitorStart}{Ext:201}", "MonitorStart", "Ok")
    a_call(keeper, "201", "202", "1")
    expect_event(c, "CallCleared", "201")
    last = int(numbered(c, "201")[-1]["Seq"])
    c.close()
    a_call(keeper, "201", "202", "2")
    back = Client(host)
    back.send("{Cmd:MonitorStart}{InvokeId:g}{Ext:201}{Since:%d}" % last)
    done = back.expect_answer("MonitorStart", "Ok", InvokeId="g")
    gap = done.get("Gap", "")
    check(re.match(r"^\d+-\d+$", gap) and int(gap.split("-")[0]) == last + 1 and
          int(gap.split("-")[1]) <= int(done["LastSeq"]), repr(done))
    check(not any(f.get("Replay") for f in events_of(back)), "no replay with a gap")
    check(any(f["Event"] == "PhoneState" and "Seq" not in f for f in events_of(back)), "the line's state instead")
    back.request("{Cmd:MonitorStart}{Ext:202}{Since:%d}" % (int(done["LastSeq"]) + 5), "MonitorStart", "Error",
                 Error="BadValue", Field="Since")
    check(host.stop() == 0, "clean stop")


@case
def zarn2_filter_json(run):
    """SetFilter keeps only the named events; SetFormat json turns answers and events into JSON objects."""
    host = run("zarn2_filter_json")
    dialer = Client(host)
    dialer.request("{Cmd:MonitorStart}{Ext:201}", "MonitorStart", "Ok")
    c = Client(host)
    c.request("{Cmd:SetFilter}{InvokeId:f}{Events:CallReceived,CallCleared}", "SetFilter", "Ok",
              Events="CallReceived,CallCleared", Protocol="ZARN 2")
    c.request("{Cmd:SetFilter}{Events:CallReceived,Ringing}", "SetFilter", "Error", Error="BadValue", Field="Events")
    c.request("{Cmd:MonitorStart}{Ext:202}", "MonitorStart", "Ok")
    mark = len(c.all_lines())
    c.send("{Cmd:SetFormat}{InvokeId:j}{Value:json}")
    a_call(dialer, "201", "202", "1")
    time.sleep(1)
    c.send("{Cmd:Ping}{InvokeId:p}")
    deadline = time.time() + 10
    while time.time() < deadline and not any('"InvokeId":"p"' in l for l in c.all_lines()):
        time.sleep(0.1)
    objects = [json.loads(l) for l in c.all_lines()[mark:]]
    check(objects[0] == {"Response": "Ok", "Cmd": "SetFormat", "InvokeId": "j", "Format": "json"}, repr(objects[0]))
    events = [o for o in objects if "Event" in o and o["Event"] != "KeepAlive"]
    check([o["Event"] for o in events] == ["CallReceived", "CallCleared"], repr(events))
    check(list(events[0])[:3] == ["Event", "Ext", "DeviceId"] and list(events[0])[-2:] == ["Seq", "Time"],
          "the keys of the brace line, in order: %r" % events[0])
    check(all(isinstance(v, str) for o in objects for v in o.values()), "every value a string")
    check(objects[-1].get("Cmd") == "Ping" and objects[-1].get("Response") == "Ok", repr(objects[-1]))
    check(host.stop() == 0, "clean stop")


@case
def zarn2_overflow(run):
    """A client that stops reading is dropped when its output runs over; Resume names the reason and the
    last event that went out whole, and Since with that number brings back exactly the rest."""
    control_port = free_port()
    host = run("zarn2_overflow", {"EventRing": "100000", "UseProtocol": "1"},
               env={"TVX_SIM_CONTROL_PORT": str(control_port)})
    ref = Client(host)
    ref.request("{Cmd:SetProtocol}{Value:2}", "SetProtocol", "Ok")
    ref.request("{Cmd:MonitorStart}{Ext:201}", "MonitorStart", "Ok")
    slow = socket.socket()
    slow.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    slow.connect(("127.0.0.1", host.port))
    slow.sendall(b"{Cmd:SetProtocol}{Value:2}\r\n{Cmd:MonitorStart}{Ext:201}\r\n")
    received = b""
    while b"{Response:Ok}{Cmd:MonitorStart}" not in received:
        received += slow.recv(4096)
    session = fields([l for l in received.decode().split("\r\n") if "{Cmd:SetProtocol}" in l][0])["Session"]
    control = SimControl(control_port)
    rounds = 0
    while not host.wait_output("output ran over", 0.05):
        answers = control.run(["ring 0301234 201", "hangup 201"] * 25)
        check(all(a.startswith("OK") for a in answers), repr(answers[:4]))
        rounds += 1
        # The PBX answers at once; the service works its messages off in order: keep pace with it.
        deadline = time.time() + 20
        while sum(1 for l in ref.all_lines() if l.startswith("{Event:CallCleared}")) < rounds * 25:
            check(time.time() < deadline, "the service fell behind")
            time.sleep(0.02)
        check(rounds < 400, "the client that does not read was never dropped")
    control.close()
    check(host.wait_output("ended (Overflow)", 10), "the service remembers the session")
    # What went out before the drop is still on its way to the client, which reads it now.
    # The system may also give up on a closed connection whose client does not read, and throw away
    # what was still on its way; that is why a client resumes from its own last Seq.
    slow.settimeout(2)
    try:
        while True:
            data = slow.recv(65536)
            if not data:
                break
            received += data
    except OSError:
        pass  # a reset or a silence ends what the client can still read
    slow.close()
    got = [int(f["Seq"]) for f in map(fields, received.decode("latin-1").split("\r\n")[:-1]) if f and "Seq" in f]
    c = Client(host)
    done = c.request("{Cmd:Resume}{InvokeId:u}{Session:%s}" % session, "Resume", "Ok", Session=session,
                     Reason="Overflow")
    last = int(done["LastDelivered"])
    print("dropped after %d rounds; the client read %d events up to %s; LastDelivered %d"
          % (rounds, len(got), got[-1] if got else None, last))
    check(last > 0 and got and got[-1] <= last, "LastDelivered covers what arrived: %d %r" % (last, got[-3:]))
    last = got[-1]  # the client's own last Seq
    c.send("{Cmd:MonitorStart}{InvokeId:r}{Ext:201}{Since:%d}" % last)
    ok = c.expect_answer("MonitorStart", "Ok", 30, InvokeId="r")
    replayed = [int(f["Seq"]) for f in numbered(c, "201") if f.get("Replay") == "1"]
    sent = [int(f["Seq"]) for f in numbered(ref, "201")]
    check("Gap" not in ok and replayed == [q for q in sent if q > last], "replay after %d: %r" % (last, ok))
    check(got == sent[sent.index(got[0]):][:len(got)], "what arrived is what was sent, in order")
    c.request("{Cmd:Resume}{Session:0123456789abcdef}", "Resume", "Error", Error="UnknownSession", Field="Session")
    check(host.stop() == 0, "clean stop")


def main():
    name, wine_run, build, exe = sys.argv[1:5]
    hosts = []

    def run(folder, settings=None, extra_args=(), env=None, expect_start=True):
        host = Host(wine_run, build, exe, folder, settings, extra_args=extra_args, env=env, expect_start=expect_start)
        host.exe = exe
        hosts.append(host)
        return host

    run.build = build
    run.exe = exe
    run.wine_run = wine_run
    try:
        CASES[name](run)
    except AssertionError as e:
        print("FAILED:", e)
        for host in hosts:
            print("---- service output (%s) ----\n%s" % (host.folder, host.text()))
        return 1
    finally:
        for host in hosts:
            host.stop()
    print("passed:", name)
    return 0


if __name__ == "__main__":
    sys.exit(main())
