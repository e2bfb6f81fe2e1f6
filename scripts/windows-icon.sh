#!/usr/bin/env bash
# Packs the program's icon, as the window's icon code draws it (the PNG files of the
# package build, build/package-tree/icons), into packaging/windows/mizuto.ico for the
# Windows build's resources: the cross build cannot run the toolkit that draws it.
# Run it again when the icon's drawing changes:
#   scripts/windows-icon.sh [ICONS-FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
icons=${1:-build/package-tree/icons}
python3 - "$icons" packaging/windows/mizuto.ico <<'PY'
import struct, sys
# An .ico holds PNG images as they are (Windows Vista and later read them), one entry each.
folder, out = sys.argv[1], sys.argv[2]
sizes = [16, 24, 32, 48, 64, 256]
images = [open(f"{folder}/{s}x{s}/apps/mizuto.png", "rb").read() for s in sizes]
data = struct.pack("<HHH", 0, 1, len(images))
offset = 6 + 16 * len(images)
for size, png in zip(sizes, images):
    side = 0 if size == 256 else size  # 0 stands for 256
    data += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(png), offset)
    offset += len(png)
open(out, "wb").write(data + b"".join(images))
PY
