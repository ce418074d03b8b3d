#!/usr/bin/env bash
# Makes the release of the checked-out commit: dist/Perchlet-<version>-windows-x64.zip and
# -windows-x86.zip, and dist/SHA256SUMS. Changes not committed are left out, and every byte
# follows from the commit, so a second build anywhere else gives the same files.
#   PERCHLET_DIST    where the archives go (dist/)
#   PERCHLET_WORK    the scratch folder the commit is built in (build/package/), emptied first
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
dist=$(realpath -m "${PERCHLET_DIST:-$root/dist}")
work=$(realpath -m "${PERCHLET_WORK:-$root/build/package}")

bash scripts/install-deps.sh

commit=$(git rev-parse HEAD)
# Archive entries carry the commit's time, not the time of the build.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct "$commit")
export SOURCE_DATE_EPOCH
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    echo "package.sh: packaging commit ${commit:0:12}; uncommitted changes are left out" >&2
fi

rm -rf "$work"
mkdir -p "$work/src" "$dist"
git archive "$commit" | tar -x -C "$work/src"
for arch in x64 x86; do
    (cd "$work/src" && cmake --preset "windows-$arch" >/dev/null &&
        cmake --build --preset "windows-$arch" --target Perchlet)
done
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$work/src/build/windows-x64/CMakeCache.txt")
[ -n "$version" ] || { echo "package.sh: no project version in the build" >&2; exit 1; }

rm -f "$dist"/Perchlet-*-windows-*.zip "$dist/SHA256SUMS"
for arch in x64 x86; do
    src=$work/src
    python3 - "$dist/Perchlet-$version-windows-$arch.zip" \
        "Perchlet.exe=$src/build/windows-$arch/Perchlet.exe" "README.txt=$src/docs/guide.txt" \
        "LICENSE=$src/LICENSE" "examples/Perchlet.ini=$src/examples/Perchlet.ini" \
        "examples/sample-batch.txt=$src/examples/sample-batch.txt" <<'PYTHON'
import os
import sys
import time
import zipfile

# Fixed order, times and attributes, and Windows line ends in the texts for Notepad. Stored,
# not compressed: the bytes then do not depend on the zlib of the machine that packs them.
stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]
with zipfile.ZipFile(sys.argv[1], "w") as archive:
    for name, path in sorted(arg.split("=", 1) for arg in sys.argv[2:]):
        data = open(path, "rb").read()
        if not name.endswith(".exe"):
            data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
        entry = zipfile.ZipInfo(name, date_time=stamp)
        entry.create_system = 0
        entry.external_attr = 0x20  # the archive attribute, as Windows sets it
        archive.writestr(entry, data, compress_type=zipfile.ZIP_STORED)
PYTHON
done
(cd "$dist" && sha256sum Perchlet-"$version"-windows-*.zip >SHA256SUMS && cat SHA256SUMS)
