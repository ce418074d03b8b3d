#!/usr/bin/env python3
"""Fails when a built program imports an ANSI (...A) text call or a library outside the list.

    check_imports.py <objdump> <program.exe>...
"""
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

ALLOWED_ANSI = {
    "GetStartupInfoA",  # the C runtime's start-up
    # 32-bit only: the compiler's start-up code looks for a shared libgcc to register its
    # unwind tables with (a static program has none).
    "GetModuleHandleA", "LoadLibraryA",
    # The live-object report, plain ASCII: Wine traces only the ANSI form, which tests read.
    "OutputDebugStringA",
}
# KnownDLLs, which the system loads from System32 whatever the search order.
ALLOWED_LIBRARIES = {
    "advapi32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll",
    "oleaut32.dll", "shcore.dll", "shell32.dll", "shlwapi.dll", "user32.dll",
}

# What the manifest must hold that Wine cannot show, in the namespaces Windows reads it from.
NS = {"v3": "urn:schemas-microsoft-com:asm.v3", "c": "urn:schemas-microsoft-com:compatibility.v1",
      "s05": "http://schemas.microsoft.com/SMI/2005/WindowsSettings",
      "s16": "http://schemas.microsoft.com/SMI/2016/WindowsSettings"}
MANIFEST = {
    "v3:application/v3:windowsSettings/s05:dpiAware": "true/pm",
    "v3:application/v3:windowsSettings/s16:dpiAwareness": "PerMonitorV2, PerMonitor",
    "v3:application/v3:windowsSettings/s16:longPathAware": "true",
    "c:compatibility/c:application/c:supportedOS": (  # Windows 7, 8, 8.1, 10 and 11
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a} {4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38} "
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78} {8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"),
}


def main(objdump, *programs):
    faults = []
    for program in programs:
        with open(program, "rb") as file:
            manifest = ET.fromstring(re.search(rb"<\?xml.*?</assembly>", file.read(), re.S)[0])
        for path, value in MANIFEST.items():
            found = " ".join(e.get("Id") or e.text or "" for e in manifest.iterfind(path, NS))
            if found != value:
                faults.append(f"{program}: the manifest's {path} is {found!r}, not {value!r}")
        dump = subprocess.run([objdump, "-p", program], check=True, capture_output=True,
                              text=True).stdout
        # Each library's block: its name, then a line per imported name (hint and name).
        blocks = re.findall(r"DLL Name: (\S+)\n(.*?)\n\n", dump, re.DOTALL)
        if not blocks:
            faults.append(f"{program}: no import table read")
        for library, entries in blocks:
            if library.lower() not in ALLOWED_LIBRARIES:
                faults.append(f"{program}: imports {library}")
            faults += [f"{program}: {library}!{name} is an ANSI call"
                       for name in re.findall(r"^\s+[0-9a-f]+\s+\d+\s+(\w+)$", entries, re.M)
                       if re.search(r"[a-z0-9]A$", name) and name not in ALLOWED_ANSI]
    print("\n".join(faults) or f"the imports of {len(programs)} programs are as allowed")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
