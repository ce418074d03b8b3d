#!/usr/bin/env python3
"""Fails when a built program imports an ANSI (...A) text call or a library outside the list.

    check_imports.py <objdump> <program.exe>...
"""
import re
import subprocess
import sys

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


def main(objdump, *programs):
    faults = []
    for program in programs:
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
