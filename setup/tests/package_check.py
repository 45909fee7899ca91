#!/usr/bin/env python3
"""Checks the product package and the setup made from it.

Usage: package_check.py PACKAGE_DIR SETUP_EXE SIMULATOR_DLL [--with NAME]... [--unversioned NAME]...

Prints the package listing (names and sizes), then fails if a product file is missing, if a file
that is not the product's is in the package or in the setup (the simulator above all: by name and
by content), or if a binary lacks its version resource or a program its manifest. --with names an
optional file this build makes (applet, language library, help); --unversioned a binary whose
version resource and manifest are still to come (reported, not failed).
"""
import argparse
import os
import subprocess
import sys

ALWAYS = ["TELVARIX.EXE", "LINVOQ.DLL", "VESSNET.DLL", "TVXREMOVE.EXE", "TELVARIX.INI",
          "docs/zarn-protocol.md", "docs/settings.md"]
BINARY_SUFFIXES = (".EXE", ".DLL", ".CPL")
SIMULATOR_NAMES = {"tapi32.dll", "libtapisim.a", "tapisim.h"}


def listing(root):
    files = {}
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            files[os.path.relpath(path, root).replace(os.sep, "/")] = os.path.getsize(path)
    return files


def has_version_resource(data):
    return "VS_VERSION_INFO".encode("utf-16-le") in data


def has_manifest(data):
    return b"<assembly" in data and b"urn:schemas-microsoft-com:asm.v1" in data


def destination(name):
    """Where the setup must put a package file, as 7z shows it."""
    if name.upper() == "TELVARIX.CHM":
        return "$WINDIR/Help/" + name
    if "/" in name or name.upper() == "TVXREMOVE.EXE":
        return name  # the program folder
    return "$SYSDIR/" + name


def setup_contents(setup):
    """{path: size} inside the setup, as 7z lists the installer's archive."""
    try:
        out = subprocess.run(["7z", "l", "-slt", setup], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                             check=False).stdout.decode("latin-1")
    except FileNotFoundError:
        print("7z is missing (Debian package p7zip-full)")
        return []
    contents, path = {}, None
    for line in out.splitlines():
        if line.startswith("Path = "):
            path = line[7:].replace("\\", "/")
        elif line.startswith("Size = ") and path is not None:
            contents[path] = int(line[7:] or 0)
    contents.pop(setup.replace("\\", "/"), None)  # the archive itself comes first
    return contents


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("package")
    parser.add_argument("setup")
    parser.add_argument("simulator")
    parser.add_argument("--with", dest="optional", action="append", default=[])
    parser.add_argument("--unversioned", action="append", default=[])
    args = parser.parse_args()

    failures = []
    files = listing(args.package)
    print("Package %s:" % args.package)
    for name in sorted(files):
        print("  %10d  %s" % (files[name], name))
    print("Setup %s: %d bytes" % (args.setup, os.path.getsize(args.setup)))

    expected = set(ALWAYS + args.optional)
    for name in sorted(expected - set(files)):
        failures.append("missing from the package: " + name)
    for name in sorted(set(files) - expected):
        failures.append("not a product file: " + name)

    simulator = open(args.simulator, "rb").read() if os.path.exists(args.simulator) else None
    for name in sorted(files):
        data = open(os.path.join(args.package, name), "rb").read()
        if os.path.basename(name).lower() in SIMULATOR_NAMES or (simulator and data == simulator):
            failures.append("simulator file in the package: " + name)
        if not name.upper().endswith(BINARY_SUFFIXES):
            continue
        problems = []
        if not has_version_resource(data):
            problems.append("no version resource")
        if name.upper().endswith(".EXE") and not has_manifest(data):
            problems.append("no manifest")
        if problems and name in args.unversioned:
            print("NOTE: %s: %s (still to come)" % (name, ", ".join(problems)))
        elif problems:
            failures.append("%s: %s" % (name, ", ".join(problems)))

    inside = setup_contents(args.setup)
    print("Setup holds:")
    for path in sorted(inside):
        print("  %10d  %s" % (inside[path], path))
    if not inside:
        failures.append("the setup's contents could not be listed")
    for path in inside:
        if os.path.basename(path).lower() in SIMULATOR_NAMES:
            failures.append("simulator file in the setup: " + path)
    for name, size in files.items():
        where = destination(name)
        if where not in inside:
            failures.append("the setup does not put %s at %s" % (name, where))
        elif inside[where] != size:
            failures.append("the setup's %s has %d bytes, the package's %d" % (where, inside[where], size))

    for failure in failures:
        print("FAILED: " + failure)
    if not failures:
        print("passed: package holds only product files (%d), none of the simulator" % len(files))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
