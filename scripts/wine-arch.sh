#!/usr/bin/env bash
# Prints the Windows architecture this machine can run under Wine: i686 (the product's own, needs a
# kernel that starts 32-bit programs) or x86_64 (64-bit Wine only). TVX_ARCH overrides the probe.
set -u
if [ -n "${TVX_ARCH:-}" ]; then
    echo "$TVX_ARCH"
elif /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    echo i686
else
    echo x86_64
fi
