"""What the reliability tests need besides the harness: icon modules built at test time with
malformed groups, the program's live object counts, and the results file that
scripts/reliability.sh turns into a table."""

import json
import os
import shutil
import struct
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path

import harness
from texts import OBJECT_COUNTS

sys.path.insert(0, str(harness.REPO / "tests" / "win32" / "modules"))
import make_icons  # noqa: E402  (the same image and group writers the built modules use)

RT_ICON = 3
RT_GROUP_ICON = 14
# Modules built for the build under test, by its own compiler.
_TRIPLET = "i686-w64-mingw32" if harness.build_arch() == "x86" else "x86_64-w64-mingw32"
WINDRES = f"{_TRIPLET}-windres"
CC = f"{_TRIPLET}-gcc"


# ---------------------------------------------------------------------------------------------
# Icon groups and images, byte by byte


def group_bytes(entries, reserved=0, kind=1, count=None):
    """An RT_GROUP_ICON resource: the header as given, then one 14-byte entry per
    (width, height, bits, bytes in resource, image id)."""
    out = struct.pack("<HHH", reserved, kind, (len(entries) if count is None else count) & 0xFFFF)
    for width, height, bits, size, image_id in entries:
        colours = (1 << bits) if bits < 8 else 0
        out += struct.pack("<BBBBHHIH", width, height, colours, 0, 1, bits, size & 0xFFFFFFFF,
                           image_id)
    return out


def ico_from_group(group, images):
    """The .ico file an extraction must write for a group whose images all exist and are at
    least as long as claimed: the header as read, the first twelve bytes of each entry with the
    image's offset, then each image cut to its claimed length."""
    count = struct.unpack_from("<h", group, 4)[0]
    out = bytearray(group[:6])
    body = bytearray()
    offset = 6 + 16 * count
    for k in range(count):
        entry = group[6 + 14 * k:6 + 14 * (k + 1)]
        size, image_id = struct.unpack_from("<IH", entry, 8)
        out += entry[:12] + struct.pack("<I", offset)
        body += images[image_id][:size]
        offset += size
    return bytes(out + body)


def image(width, height, bits, seed):
    return make_icons.image(width, height, bits, seed)


# ---------------------------------------------------------------------------------------------
# Modules


def toolchain_missing():
    return [tool for tool in (WINDRES, CC) if shutil.which(tool) is None]


def build_module(folder, name, groups, images):
    """Links a resource-only DLL folder/name.dll holding the given RT_GROUP_ICON and RT_ICON
    resources ({numeric id: bytes}), written as raw data so that nothing checks what they hold."""
    folder = Path(folder)
    work = folder / f"{name}.src"
    work.mkdir(parents=True, exist_ok=True)
    lines = []
    for kind, resources in ((RT_GROUP_ICON, groups), (RT_ICON, images)):
        for resource_id, data in resources.items():
            data_file = work / f"t{kind}_{resource_id}.bin"
            data_file.write_bytes(data)
            lines.append(f'{resource_id} {kind} "{data_file.name}"')
    (work / "module.rc").write_text("\n".join(lines) + "\n")
    (work / "empty.c").write_text("typedef int resource_only_module;\n")
    subprocess.run([WINDRES, "module.rc", "-O", "coff", "-o", "module.res.o"], cwd=work,
                   check=True, capture_output=True, timeout=60)
    target = folder / f"{name}.dll"
    subprocess.run([CC, "-shared", "-nostdlib", "-Wl,-e,0", "-s", "-o", str(target), "empty.c",
                    "module.res.o"], cwd=work, check=True, capture_output=True, timeout=60)
    shutil.rmtree(work, ignore_errors=True)
    return target


@dataclass
class ResourceData:
    file_offset: int  # where the resource's bytes lie in the module file
    size: int  # the size its data entry claims
    size_field: int  # file offset of that size field


def find_resource(module, kind, resource_id):
    """Walks the PE resource directory of a module file to a numbered resource's data entry."""
    data = Path(module).read_bytes()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (112 if magic == 0x20B else 96)
    rsrc_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    table = optional + optional_size
    spans = []
    for k in range(sections):
        at = table + 40 * k
        virtual_size, rva, raw_size, raw_at = struct.unpack_from("<IIII", data, at + 8)
        spans.append((rva, max(virtual_size, raw_size), raw_at))

    def file_offset(rva):
        for start, length, raw_at in spans:
            if start <= rva < start + length:
                return raw_at + rva - start
        raise ValueError(f"RVA {rva:#x} lies in no section")

    root = file_offset(rsrc_rva)

    def child(directory, wanted):
        named, numbered = struct.unpack_from("<HH", data, directory + 12)
        for k in range(named + numbered):
            name, target = struct.unpack_from("<II", data, directory + 16 + 8 * k)
            if not name & 0x80000000 and name == wanted:
                return target
        raise KeyError(wanted)

    by_type = root + (child(root, kind) & 0x7FFFFFFF)
    by_id = root + (child(by_type, resource_id) & 0x7FFFFFFF)
    languages = struct.unpack_from("<HH", data, by_id + 12)
    assert sum(languages) >= 1
    entry = root + struct.unpack_from("<I", data, by_id + 16 + 4)[0]
    data_rva, size = struct.unpack_from("<II", data, entry)
    return ResourceData(file_offset(data_rva), size, entry + 4)


def truncate_inside(module, kind, resource_id, keep):
    """Cuts the module file `keep` bytes into the given resource, so that its data entry claims
    bytes past the end of the file. Everything the look-up needs must lie before that point."""
    resource = find_resource(module, kind, resource_id)
    assert 0 < keep < resource.size
    with open(module, "r+b") as file:
        file.truncate(resource.file_offset + keep)
    return resource


# ---------------------------------------------------------------------------------------------
# Live object counts


@dataclass
class Counts:
    when: str
    values: dict

    def without(self, *kinds):
        return {kind: value for kind, value in self.values.items() if kind not in kinds}


def live_counts(run):
    """The program's reports of its live objects, in order (the run needs debug="+debugstr")."""
    found = []
    for match in OBJECT_COUNTS.finditer(run.stderr_text()):
        values = dict((name, int(number)) for name, number in
                      (pair.split("=") for pair in match.group(2).split()))
        found.append(Counts(match.group(1), values))
    return found


# ---------------------------------------------------------------------------------------------
# Results for the reliability table


def results_path():
    suffix = "" if harness.build_arch() == "x64" else "-" + harness.build_arch()
    return Path(os.environ.get("PERCHLET_RELIABILITY_RESULTS",
                               harness.state_dir().parent / f"reliability-results{suffix}.json"))


class Results:
    """Collects one record per fault case and the object balance figures; written after every
    record, so a run that stops half-way still leaves what it found."""

    def __init__(self, path=None):
        self.path = Path(path or results_path())
        self.data = {"started": time.strftime("%Y-%m-%d %H:%M:%S"), "cases": {}, "balance": {}}
        self.path.parent.mkdir(parents=True, exist_ok=True)
        self._write()

    def case(self, name, survived, detail=""):
        self.data["cases"][name] = {"survived": bool(survived), "detail": detail}
        self._write()

    def balance(self, name, figures):
        self.data["balance"][name] = figures
        self._write()

    def _write(self):
        temporary = self.path.with_suffix(".tmp")
        temporary.write_text(json.dumps(self.data, indent=2))
        temporary.replace(self.path)
