#!/usr/bin/env bash
# Makes the release of the checked-out commit: dist/Perchlet-<version>-windows-x64.zip and
# -windows-x86.zip, and dist/SHA256SUMS. Changes not committed are left out. The commit is built
# twice, in two folders, one after the other and in another time zone, and nothing is written
# unless both give the same bytes and no build folder shows in the programs.
#   PERCHLET_DIST    where the archives go (dist/)
#   PERCHLET_WORK    the scratch folder the builds are made in (build/package/), emptied first
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

# Builds the commit in folder $1 and writes its archives and sums into $1/dist.
build_release() {
    local src=$1/src
    mkdir -p "$src" "$1/dist"
    git archive "$commit" | tar -x -C "$src"
    for arch in x64 x86; do
        (cd "$src" && cmake --preset "windows-$arch" >/dev/null &&
            cmake --build --preset "windows-$arch" --target Perchlet)
    done
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$src/build/windows-x64/CMakeCache.txt")
    for arch in x64 x86; do
        python3 - "$1/dist/Perchlet-$version-windows-$arch.zip" \
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
    (cd "$1/dist" && sha256sum Perchlet-*.zip >SHA256SUMS)
}

rm -rf "$work"
build_release "$work/first"
TZ=Pacific/Kiritimati build_release "$work/second"
for arch in x64 x86; do
    cmp "$work"/{first,second}/src/build/windows-$arch/Perchlet.exe
done
diff -r "$work/first/dist" "$work/second/dist"
if strings -a "$work"/*/src/build/windows-*/Perchlet.exe | grep -F "$work"; then
    echo "package.sh: a program names its build folder" >&2
    exit 1
fi
mkdir -p "$dist"
rm -f "$dist"/Perchlet-*-windows-*.zip "$dist/SHA256SUMS"
cp "$work/first/dist"/* "$dist/"
echo "Two builds of ${commit:0:12} gave the same bytes; $dist holds:"
cat "$dist/SHA256SUMS"
