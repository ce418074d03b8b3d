#!/usr/bin/env python3
"""Reads the import tables of the built programs: every text call must be the wide (...W) form,
and only the system libraries listed here may be imported.

    check_imports.py <objdump> <program.exe>...
"""
import re
import subprocess
import sys

# ANSI imports that are not the program's own text calls.
ALLOWED_ANSI = {
    # The C runtime's start-up asks for its own start-up record.
    "GetStartupInfoA",
    # 32-bit only: the compiler's start-up code looks for the shared libgcc (which a static
    # program never has) to register its unwind tables.
    "GetModuleHandleA",
    "LoadLibraryA",
    # The live-object report, plain ASCII: Wine traces only the ANSI form, which tests read.
    "OutputDebugStringA",
}

# KnownDLLs and the system libraries that are loaded from System32 whatever the search order.
ALLOWED_LIBRARIES = {
    "advapi32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll",
    "oleaut32.dll", "shcore.dll", "shell32.dll", "shlwapi.dll", "user32.dll",
    # Not a KnownDLL, so found along the search path beside the program: still imported until
    # its run-time load from System32 replaces the import.
    "version.dll",
}

# A name that ends in a capital A after a lower-case letter or digit: the ANSI form of a call.
ANSI_NAME = re.compile(r"[a-z0-9]A$")


def imports(objdump, program):
    """{library: [function names]} from the program's import table."""
    text = subprocess.run([objdump, "-p", program], check=True, capture_output=True,
                          text=True).stdout
    table = {}
    library = None
    for line in text.splitlines():
        found = re.match(r"\s*DLL Name: (\S+)", line)
        if found:
            library = found.group(1).lower()
            table[library] = []
            continue
        entry = re.match(r"\s+[0-9a-f]+\s+\d+\s+(\w+)$", line)
        if library and entry:
            table[library].append(entry.group(1))
        elif not line.strip():
            library = None
    return table


def main():
    objdump, programs = sys.argv[1], sys.argv[2:]
    faults = []
    for program in programs:
        table = imports(objdump, program)
        if not table:
            faults.append(f"{program}: no import table read")
        for library, names in table.items():
            if library not in ALLOWED_LIBRARIES:
                faults.append(f"{program}: imports {library}")
            faults += [f"{program}: {library}!{name} is an ANSI call" for name in names
                       if ANSI_NAME.search(name) and name not in ALLOWED_ANSI]
    print("\n".join(faults) or f"imports of {len(programs)} programs as allowed")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
