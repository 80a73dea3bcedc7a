#!/usr/bin/env bash
# Renders the windows of Kalvex.exe under Wine on a virtual X server: the
# main window, the progress dialog after a clean and after a faulty run, in
# German and English, and the About box, as PNG files under docs/screenshots
# with "windows" in their names. Each run writes 2 MByte of test data into a
# folder under Wine's temporary directory and removes it again.
#
# Usage: scripts/screenshots-windows.sh [BUILD_DIR]   (default: build/windows)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/windows}"
out="$root/docs/screenshots"

if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake --preset windows -S "$root" >/dev/null
fi
cmake --build "$build" --target kalvex_win32_screenshots -j2

export WINEPREFIX="${WINEPREFIX:-$build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
wine=$(command -v wine || echo /usr/lib/wine/wine64)
# Without a window manager on the virtual display, Wine draws the frames and
# title bars itself only for windows it does not hand to one.
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
# A Wine session started without a display (the line above, or any other
# program of this prefix) can make no windows; the tool must start a new one.
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
"$wineserver" -w
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

xvfb-run -a -s "-screen 0 1024x768x24" \
  "$wine" "$build/tests/ui/win32/kalvex_win32_screenshots.exe" "Z:${tmp//\//\\}"

# BMP (24 bit, bottom-up, as the tool writes it) to PNG, with the standard
# library only.
python3 - "$tmp" "$out" <<'PY'
import os, struct, sys, zlib

src, dst = sys.argv[1], sys.argv[2]

def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

for name in sorted(os.listdir(src)):
    if not name.endswith(".bmp"):
        continue
    data = open(os.path.join(src, name), "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3
    raw = bytearray()
    for y in range(height - 1, -1, -1):
        row = data[offset + y * stride: offset + y * stride + width * 3]
        raw.append(0)
        for x in range(0, width * 3, 3):
            raw += bytes((row[x + 2], row[x + 1], row[x]))
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")
    target = os.path.join(dst, name[:-4] + ".png")
    open(target, "wb").write(png)
    print("wrote", target)
PY
