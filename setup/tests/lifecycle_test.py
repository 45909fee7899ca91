#!/usr/bin/env python3
"""The product's whole life under Wine, in a fresh prefix of its own.

Usage: lifecycle_test.py WINE_RUN_SCRIPT STATE_DIR SETUP_EXE SIMULATOR_DLL TAPISRV_STANDIN PROBE_EXE [--applet]

silent install -> the service's configuration -> the service starts and answers a ZARN client
-> (with --applet: the applet is open, and TVXREMOVE /I again brings it forward instead of
starting a second) -> silent uninstall -> service and program files gone, settings kept.
The simulated telephony is put into the prefix by this test, never by the setup: our tapi32.dll
and, where Wine has no telephony service "tapisrv" for the product's service to depend on, a
stand-in service of that name. Every step
writes one "STEP" line; the log also goes to STATE_DIR/lifecycle.log.
"""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

SERVICE = "Telvarix"
PROGRAM_FOLDER = r"C:\Program Files\Telvarix"


class Failed(Exception):
    pass


class LifeCycle:
    def __init__(self, wine_run, state, setup, simulator, tapisrv, probe):
        self.wine_run, self.state, self.setup = wine_run, state, setup
        self.simulator, self.tapisrv, self.probe = simulator, tapisrv, probe
        self.prefix = os.path.join(state, "wine", "prefix")
        self.log = open(os.path.join(state, "lifecycle.log"), "w")

    def say(self, text):
        line = "%s %s" % (time.strftime("%H:%M:%S"), text)
        print(line, flush=True)
        self.log.write(line + "\n")
        self.log.flush()

    def step(self, text):
        self.say("STEP " + text)

    def check(self, condition, text):
        if not condition:
            raise Failed(text)
        self.say("  ok: " + text)

    def wine(self, *args, timeout=60):
        # Output through a file, not a pipe: a program it starts (the applet, the service) would
        # inherit a pipe and hold it open long after the program itself has ended.
        with tempfile.TemporaryFile() as out:
            done = subprocess.run([self.wine_run, "run", self.state] + list(args), stdin=subprocess.DEVNULL,
                                  stdout=out, stderr=subprocess.STDOUT, timeout=timeout)
            out.seek(0)
            return done.returncode, out.read().decode("latin-1").replace("\r\n", "\n")

    def windows_path(self, *parts):
        """A path below drive_c, found without regard to case as Windows would."""
        path = os.path.join(self.prefix, "drive_c")
        for part in parts:
            names = {n.lower(): n for n in os.listdir(path)} if os.path.isdir(path) else {}
            path = os.path.join(path, names.get(part.lower(), part))
        return path

    def system_file(self, name):
        return self.windows_path("windows", "system32", name)

    def wait(self, condition, seconds, step=0.3):
        deadline = time.time() + seconds
        while time.time() < deadline:
            if condition():
                return True
            time.sleep(step)
        return condition()

    def applet_state(self):
        _, out = self.wine(self.probe, "applet")
        fields = dict(part.split("=") for part in out.split() if "=" in part)
        return {k: int(v) for k, v in fields.items()}

    # The steps.

    def fresh_prefix(self):
        self.step("fresh prefix " + self.prefix)
        subprocess.run([self.wine_run, "down", self.state], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(os.path.join(self.state, "wine"), ignore_errors=True)
        up = subprocess.run([self.wine_run, "up", self.state], timeout=180)
        self.check(up.returncode == 0 and os.path.isdir(self.windows_path("windows", "system32")),
                   "prefix created")
        # Test fixture: the simulated telephony in place of Wine's stub.
        shutil.copyfile(self.simulator, self.system_file("tapi32.dll"))
        self.say("  fixture: simulated tapi32.dll placed in the system directory")
        if "STATE" not in self.wine("sc", "query", "tapisrv")[1]:
            shutil.copyfile(self.tapisrv, self.system_file("tvx_tapisrv_standin.exe"))
            code, out = self.wine("sc", "create", "tapisrv", "binpath=",
                                  r"C:\windows\system32\tvx_tapisrv_standin.exe", "start=", "demand")
            self.check(code == 0, "fixture: stand-in telephony service tapisrv registered " + out.strip())

    def silent_install(self):
        self.step("silent install: TelvarixSetup.exe /S")
        code, out = self.wine(self.setup, "/S", timeout=120)
        self.check(code == 0, "setup exit code 0 (was %d) %s" % (code, out.strip()))
        for name in ("TELVARIX.EXE", "LINVOQ.DLL", "VESSNET.DLL", "TELVARIX.INI"):
            self.check(os.path.exists(self.system_file(name)), name + " in the system directory")
        self.program_files = [n for n in ("TELVARIX.EXE", "TELVARIX.CPL", "TELVARIXLANG.DLL")
                              if os.path.exists(self.system_file(n))]
        self.say("  program files in the system directory: " + ", ".join(self.program_files))
        self.check(os.path.exists(self.windows_path("Program Files", "Telvarix", "TVXREMOVE.EXE")),
                   "TVXREMOVE.EXE in the program folder")
        self.check(os.path.exists(self.windows_path("Program Files", "Telvarix", "uninstall.exe")),
                   "uninstaller registered in the program folder")

    def service_configuration(self):
        self.step("sc qc " + SERVICE)
        code, out = self.wine("sc", "qc", SERVICE)
        if "SERVICE_NAME" not in out:
            self.say("  Wine's sc has no qc (%d: %s); the same query through lifecycle_probe"
                     % (code, out.strip().splitlines()[0] if out.strip() else "no output"))
            code, out = self.wine(self.probe, "config", SERVICE)
        for line in out.strip().splitlines():
            self.say("  | " + line)
        self.check(code == 0, "the service is installed")
        fields = {}
        for line in out.splitlines():
            if ":" in line:
                key, value = line.split(":", 1)
                fields[key.strip()] = value.strip()
        self.check(fields.get("TYPE", "").startswith("110"), "type 110, own process, interactive")
        self.check(fields.get("START_TYPE", "").startswith("2"), "start type 2, automatic")
        self.check(fields.get("DEPENDENCIES") == "tapisrv", "depends on tapisrv")
        self.check(fields.get("DESCRIPTION") == "Telvarix provides ZARN telephony services for TAPI devices.",
                   "description")
        self.check(fields.get("BINARY_PATH_NAME", "").lower() == r"c:\windows\system32\telvarix.exe",
                   "program in the system directory")

    def service_answers(self):
        self.step("service start, ZARN client")
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            port = s.getsockname()[1]
        with open(self.system_file("TELVARIX.INI"), "w", newline="\r\n") as f:
            f.write("[General]\nPort=%d\nUseProtocol=1\nKeepAlive=0\n" % port)
        code, out = self.wine("sc", "start", SERVICE)
        self.say("  sc start: %d %s" % (code, " ".join(out.split())))
        welcome = None
        deadline = time.time() + 30
        while welcome is None and time.time() < deadline:
            try:
                with socket.create_connection(("127.0.0.1", port), timeout=5) as client:
                    welcome = client.makefile("rb").readline().decode("latin-1").strip()
            except OSError:
                time.sleep(0.5)
        self.say("  client on port %d got: %s" % (port, welcome))
        if welcome is None:
            self.say("  sc query: " + " ".join(self.wine("sc", "query", SERVICE)[1].split()))
        self.check(welcome is not None and "{Event:Welcome}" in welcome, "the service welcomes a ZARN client")

    def applet_forward(self, with_applet):
        self.step("applet: open after install, forward and single on TVXREMOVE /I again")
        if not with_applet:
            self.say("SKIPPED: TELVARIX.CPL is not part of this build")
            return
        self.check(self.wait(lambda: self.applet_state().get("marked") == 1, 30),
                   "the applet opened by the setup carries marker 0x15012315")
        self.check(self.wine(self.probe, "minimize")[0] == 0 and
                   self.wait(lambda: self.applet_state().get("iconic") == 1, 5), "applet minimized")
        code, _ = self.wine(PROGRAM_FOLDER + r"\TVXREMOVE.EXE", "/I")
        self.check(code == 0, "TVXREMOVE /I again: exit code 0")
        self.check(self.wait(lambda: self.applet_state().get("iconic") == 0, 5), "applet restored")
        time.sleep(3)  # a second applet started by mistake would be up by now
        state = self.applet_state()
        self.check(state.get("marked") == 1, "one applet window, not two (%r)" % state)
        self.check(state.get("foreground") == 1, "applet in front (%r)" % state)
        self.say("PASSED: applet step")

    def silent_uninstall(self):
        self.step("silent uninstall: uninstall.exe /S")
        uninstaller = self.windows_path("Program Files", "Telvarix", "uninstall.exe")
        code, out = self.wine(PROGRAM_FOLDER + r"\uninstall.exe", "/S", timeout=120)
        self.check(code == 0, "uninstaller exit code 0")
        # The uninstaller goes on from a copy of itself; it is done when its own file is gone.
        self.check(self.wait(lambda: not os.path.exists(uninstaller), 90), "uninstaller finished")

    def removed(self):
        self.step("after removal")
        self.wait(lambda: self.wine(self.probe, "config", SERVICE)[0] != 0, 10, 1)
        code, out = self.wine(self.probe, "config", SERVICE)
        self.say("  | " + " ".join(out.split()))
        self.check(code != 0, "the service is gone")
        for name in self.program_files:
            self.check(not os.path.exists(self.system_file(name)), name + " gone from the system directory")
        self.check(os.path.exists(self.system_file("TELVARIX.INI")), "TELVARIX.INI stays")

    def down(self):
        subprocess.run([self.wine_run, "down", self.state], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    if len(args) != 6:
        print(__doc__)
        return 2
    os.makedirs(args[1], exist_ok=True)
    run = LifeCycle(*args)
    started = time.time()
    try:
        run.fresh_prefix()
        run.silent_install()
        run.service_configuration()
        run.service_answers()
        run.applet_forward("--applet" in sys.argv)
        run.silent_uninstall()
        run.removed()
    except (Failed, subprocess.TimeoutExpired) as e:
        run.say("FAILED: %s" % e)
        return 1
    finally:
        run.down()
    run.say("passed: life cycle in %.0f s" % (time.time() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
