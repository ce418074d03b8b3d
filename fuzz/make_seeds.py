#!/usr/bin/env python3
"""Writes the hand-made seeds of each fuzz target into fuzz/corpus/<target>/.

Each seed is one case worth starting from, named for what it holds. Files already there that
this script does not write (inputs a fuzzer found) are left alone.
"""
import pathlib
import struct

CORPUS = pathlib.Path(__file__).resolve().parent / "corpus"


def command_line():
    # The command line, then NUL-separated NAME=VALUE entries of the environment.
    def seed(line, **env):
        return line.encode("latin-1") + b"".join(
            b"\0" + f"{k}={v}".encode("latin-1") for k, v in env.items())

    return {
        "expanded-with-tooltip": seed(r"%windir%\notepad.exe c:\notes.txt,My notes",
                                      windir=r"C:\Windows"),
        "three-fields": seed(r"C:\Apps\app.exe,Tip,C:\Icons\app.ico"),
        "quoted-fields-with-commas": seed(r'"C:\My, Apps\app.exe","Tip, with comma","3"'),
        "quotes-inside-command": seed(r'cmd.exe /c "dir, /w",Listing'),
        "url": seed("https://example.org/a.b?c=d,Site"),
        "odd-quotes": seed(r'notepad.exe,"unterminated'),
        "fourth-field": seed("a,b,c,d"),
        "only-commas": seed(",,"),
        "trailing-comma": seed("a.txt,"),
        "lone-percent": seed("%nothing here"),
        "percent-at-end": seed("notepad.exe 100%"),
        "undefined-variable": seed(r"%NOPE%\x.exe"),
        "empty-variable": seed(r"%EMPTY%\x.exe", EMPTY=""),
        "two-references": seed(r"%A%\%B%.exe", A="C:", B="b"),
        "variable-with-comma-and-percent": seed(r"%V%.txt", V="50%,x"),
        "blanks-around-parameters": seed("   doc .txt   -p  ,  tip  "),
        "quoted-empty": seed('"",""'),
        "no-extension": seed(r"C:\Windows"),
        "high-bytes": seed("caf\xe9.txt \xff\xfe,\x81\x40"),
    }


def options():
    return {
        "all-three": b"ClickMode=SINGLE\r\nExitDisabled=False\r\nRightMouseMenuDisabled=True\r\n",
        "comments-and-double": b"; Perchlet options\r\nCLICKMODE=DOUBLE\r\n;ExitDisabled=True\r\n",
        "items-on-one-line": b"ExitDisabled=False, ClickMode=Single ,RightMouseMenuDisabled=false",
        "value-for-last-key": b"ClickMode=Double,SINGLE\r\n",
        "quoted-values": b'ExitDisabled="False, really",ClickMode="SINGLE"junk,x\r\n',
        "unterminated-quote": b'ClickMode="SINGLE\r\n',
        "unknown-and-empty-keys": b"Colour=Blue\r\n=\r\n=,=,\r\n,,,\r\n",
        "value-before-any-key": b"SINGLE\r\n",
        "lone-cr-and-lf": b"ClickMode=SINGLE\rExitDisabled=False\nRightMouseMenuDisabled=0\r\r\n",
        "blanks-and-tabs": b"   \r\n\tClickMode\t=\tSINGLE\t\r\n  ExitDisabled = False  \r\n",
        "empty": b"",
    }


def batch():
    lines = [
        "; Perchlet batch file",
        r"%windir%\notepad.exe c:\notes.txt,My notes",
        "https://example.org,Site",
        "",
        "   ",
        r'"C:\My, Apps\app.exe","Tip, with comma",C:\Icons\app.ico',
        r'notepad.exe,"unterminated',
        "a,b,c,d",
        "%lone",
        "\tonly a tab",
        " ;not a comment",
    ]
    return {
        "mixed": "\r\n".join(lines).encode("latin-1") + b"\r\n",
        "lf-and-cr-endings": b"one.exe,One\ntwo.exe,Two\rthree.exe,Three",
        "thirty-five-commands": b"".join(f"app{n}.exe,App {n}\r\n".encode() for n in range(35)),
        "comments-only": b";a\r\n;b\r\n;\r\n",
        "blank-lines-only": b"\r\n\r\n  \r\n",
        "no-final-line-end": b"notepad.exe,Notes",
        "empty": b"",
    }


def association():
    # The command, the user's icon field, the icon groups of every module, then one answer per
    # registry read in turn: "=value", "!" for a failing read, anything else for a missing value.
    # The first read is the user's default app, missing unless `chosen` names it.
    def seed(command, icon, *answers, groups="3", chosen="-"):
        return "\n".join([command, icon, groups, chosen, *answers]).encode("latin-1")

    return {
        "user-choice": seed(r"notepad.exe c:\a.txt", "", "=exefile", "=%1"),
        "class-of-extension": seed(r"C:\doc.txt", "", "-", "=txtfile",
                                   r"=%SystemRoot%\system32\imageres.dll,-102"),
        "through-clsid": seed(r"C:\x.foo", "", "-", "=foofile", "-", "={0000-1111}",
                              r'="C:\Program Files\Foo\foo.dll",2'),
        "through-current-version": seed(r"C:\x.foo", "", "-", "=foofile", "-", "-", "=foofile.2",
                                        "=foo.exe,1"),
        "default-app": seed(r"C:\x.foo", "", "=editor.exe,1", chosen=r"=Applications\editor.exe"),
        "default-app-packaged": seed("https://example.org", "", "=@{Browser?ms-resource://x}",
                                     r"=C:\Browser\browser.exe,0", chosen="=AppXq0fevzme2pys"),
        "default-app-without-icon": seed(r"C:\x.foo", "", "-", "-", "-", "-", "=foofile",
                                         "=foo.exe,1", chosen=r"=Applications\x.exe"),
        "url-scheme": seed("https://example.org", "", r'="C:\Browser\browser.exe",0'),
        "ico-file": seed(r"C:\x.foo", "", "=foofile", r"=C:\Icons\foo.ICO,0"),
        "user-number-overrides": seed(r"C:\x.foo", "3", "=foofile", "=shell32.dll,1"),
        "user-ico-file": seed(r"C:\x.foo", r"C:\Icons\mine.ico"),
        "failing-read": seed(r"C:\x.foo", "", "!"),
        "failing-second-read": seed(r"C:\x.foo", "", "-", "!"),
        "nul-and-blanks": seed(r"C:\x.foo", "", "=  foofile  \0junk", "=  x.dll,1.5e3  \0"),
        "lone-quote": seed(r"C:\x.foo", "", "=foofile", '=",1'),
        "unusable-numbers": seed(r"C:\x.foo", "1e400", "=foofile", "=x.dll,abc,2"),
        "huge-icon-number": seed(r"C:\x.foo", "", "=foofile", "=x.dll,-1e300"),
        "mui-module": seed(r"C:\x.foo", "", "=foofile", r"=%SystemRoot%\x.dll.mui,2"),
        "blank-values": seed(r"C:\x.foo", "", "=   ", "=", "=\0"),
        "long-value": seed(r"C:\x.foo", "", "=foofile", "=" + "p" * 3000 + ",1"),
        "no-extension": seed(r"C:\Windows", ""),
        "module-without-icons": seed(r"C:\x.foo", "", "=foofile", "=x.dll,0", groups="0"),
        "last-group-of-many": seed(r"C:\x.foo", "", "=foofile", "=x.dll,63", groups="64"),
        "number-one-past-the-groups": seed(r"C:\x.foo", "", "=foofile", "=x.dll,3"),
        "number-past-16-bits": seed(r"C:\x.foo", "40000", "=foofile", "=x.dll,1"),
        "negative-group-id": seed(r"C:\x.foo", "", "=foofile", "=x.dll,-2"),
        "negative-id-of-no-group": seed(r"C:\x.foo", "", "=foofile", "=x.dll,-40000"),
        "system-module-without-icons": seed(r"C:\x.foo", "", "=foofile",
                                            r"=%SystemRoot%\System32\x.dll,-1", groups="0"),
    }


def ico_builder():
    # The group's length and bytes, then image records: id, status, length, bytes.
    def group(entries, count=None, reserved=0, kind=1):
        out = struct.pack("<HHh", reserved, kind, len(entries) if count is None else count)
        for size, image_id in entries:
            out += struct.pack("<BBBBHHIH", 16, 16, 0, 0, 1, 32, size, image_id)
        return out

    def image(image_id, length, status=0):
        return struct.pack("<HBH", image_id, status, length) + bytes([image_id & 0xFF]) * length

    def seed(group_bytes, *images):
        return struct.pack("<H", len(group_bytes)) + group_bytes + b"".join(images)

    return {
        "one-image": seed(group([(40, 1)]), image(1, 40)),
        "two-images": seed(group([(40, 1), (104, 2)]), image(1, 40), image(2, 104)),
        "short-group": seed(group([(40, 1)])[:4], image(1, 40)),
        "entries-cut-short": seed(group([(40, 1)])[:15], image(1, 40)),
        "reserved-and-type-not-0-1": seed(group([(40, 1)], reserved=7, kind=2), image(1, 40)),
        "count-0": seed(group([(40, 1)], count=0), image(1, 40)),
        "count-negative": seed(group([(40, 1)], count=-1), image(1, 40)),
        "count-larger-than-group": seed(group([(40, 1)], count=3), image(1, 40)),
        "bytes-in-resource-0": seed(group([(0, 1)]), image(1, 40)),
        "bytes-larger-than-image": seed(group([(100, 1)]), image(1, 40)),
        "bytes-smaller-than-image": seed(group([(10, 1)]), image(1, 40)),
        "offset-overflow": seed(group([(0xFFFFFFFF, 1), (40, 2)]), image(1, 40), image(2, 40)),
        "huge-bytes-in-resource": seed(group([(0xFFFFFFFF, 1)]), image(1, 40)),
        "missing-image": seed(group([(40, 1), (40, 9)]), image(1, 40)),
        "duplicate-ids-in-group": seed(group([(40, 1), (20, 1)]), image(1, 40)),
        "duplicate-image-records": seed(group([(40, 1)]), image(1, 10), image(1, 40)),
        "image-not-found": seed(group([(40, 1)]), image(1, 40, status=1)),
        "image-load-failed": seed(group([(40, 1)]), image(1, 40, status=2)),
        "image-lock-failed": seed(group([(40, 1)]), image(1, 40, status=3)),
        "empty-group": seed(b""),
    }


def pe_resources():
    # A module's file: DOS header, PE32+ (or PE32) headers, a resource section at file offset 0x400
    # mapped at 0x3000, then a second section mapped at 0x1000. Each resource is (type, name,
    # language, data[, size claimed]): a name "#7" is an id, any other is stored as written.
    def tree(resources):
        types = {}
        for k, (kind, name, language, *_) in enumerate(resources):
            types.setdefault(kind, {}).setdefault(name, []).append((language, k))
        out = bytearray()
        names, entries = [], []

        def directory(keys):
            keys = sorted(keys, key=lambda key: key[0].startswith("#"))
            named = sum(not key[0].startswith("#") for key in keys)
            out.extend(struct.pack("<IIHHHH", 0, 0, 0, 0, named, len(keys) - named))
            targets = []
            for key, _ in keys:
                if key.startswith("#"):
                    out.extend(struct.pack("<I", int(key[1:])))
                else:
                    names.append((len(out), key))
                    out.extend(b"\0" * 4)
                targets.append((key, len(out)))
                out.extend(b"\0" * 4)
            return targets

        def point(at, value):
            out[at:at + 4] = struct.pack("<I", value)

        for (_, at), kind in zip(directory([(f"#{t}", 0) for t in types]), types):
            point(at, 0x80000000 | len(out))
            for name, at in directory([(n, 0) for n in types[kind]]):
                point(at, 0x80000000 | len(out))
                languages = types[kind][name]
                for (_, at), (_, k) in zip(directory([(f"#{lang}", 0) for lang, _ in languages]),
                                           languages):
                    entries.append((at, k))
        where = {}
        for at, k in entries:
            point(at, len(out))
            where[k] = len(out)
            out.extend(b"\0" * 16)
        for k, (_, _, _, data, *claimed) in enumerate(resources):
            size = claimed[0] if claimed else len(data)
            out[where[k]:where[k] + 8] = struct.pack("<II", 0x3000 + len(out), size)
            out.extend(data)
        for at, name in names:
            point(at, 0x80000000 | len(out))
            out.extend(struct.pack("<H", len(name)) + name.encode("utf-16-le"))
        return out

    def module(resources, magic=0x20B, text=b"\xee" * 16, patch=()):
        section = tree(resources)
        pe32 = magic == 0x10B
        optional = bytearray(224 if pe32 else 240)
        optional[0:2] = struct.pack("<H", magic)
        count = 92 if pe32 else 108
        optional[count:count + 4] = struct.pack("<I", 16)
        optional[count + 20:count + 28] = struct.pack("<II", 0x3000, len(section))
        file = bytearray(b"MZ" + b"\0" * 58 + struct.pack("<I", 0x40))
        file += b"PE\0\0" + struct.pack("<HHIIIHH", 0x8664, 2, 0, 0, 0, len(optional), 0x2022)
        file += optional
        file += struct.pack("<8sIIIIIIHHI", b".rsrc", len(section), 0x3000, len(section), 0x400,
                            0, 0, 0, 0, 0)
        file += struct.pack("<8sIIIIIIHHI", b".text", len(text), 0x1000, len(text),
                            0x400 + len(section), 0, 0, 0, 0, 0)
        file += b"\0" * (0x400 - len(file)) + section + text
        for at, value in patch:
            file[at:at + len(value)] = value
        return bytes(file)

    group = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHIH", 16, 16, 0, 0, 1, 32, 8, 1)
    icons = [(14, "APP", 0, group), (14, "#2", 0, group), (14, "#2", 0x409, group),
             (3, "#1", 0x409, b"\x01" * 8), (3, "#1", 0x407, b"\x02" * 8)]
    return {
        "named-and-numbered-groups": module(icons),
        "pe32": module(icons, magic=0x10B),
        "lower-case-and-empty-names": module([(14, "low", 0, group), (14, "", 0, group),
                                              (14, "#9", 0, group)]),
        "many-languages": module([(14, "#1", lang, bytes([lang & 0xFF])) for lang in
                                  (0x807, 0xC07, 0x7, 0x409, 0x40C)]),
        "name-cut-short": module(icons)[:-20],
        "data-past-the-end": module([(14, "#1", 0, group, 0xFFFFFFFF)], text=b""),
        "unknown-magic": module(icons, magic=0x107),
        "no-resource-directory": module(icons, patch=[(0x58 + 108 + 20, b"\0" * 4)]),
        "mz-only": b"MZ",
    }


def main():
    for target, seeds in [("command_line", command_line()), ("options", options()),
                          ("batch", batch()), ("association", association()),
                          ("ico_builder", ico_builder()), ("pe_resources", pe_resources())]:
        folder = CORPUS / target
        folder.mkdir(parents=True, exist_ok=True)
        for name, data in seeds.items():
            (folder / name).write_bytes(data)


if __name__ == "__main__":
    main()
