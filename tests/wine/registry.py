"""Registry rows that a test class sets up with `reg add` and takes away again."""

import harness


class RegistryRows:
    """Registry values set with `reg add` for the length of a test class and deleted again at its
    end: the session's prefix is shared by every test file, so every key added here must be one
    that no one else uses. The commands go through one batch file, which costs one Wine start
    instead of one per value."""

    def __init__(self, session):
        self.session = session
        self.pending = []  # reg add commands not run yet
        self.owned = []  # top-most keys added, deleted in reverse order at the end

    def exists(self, key):
        return self.session.wine("reg", "query", key) == 0

    def add(self, key, value, name=None, kind="REG_SZ"):
        """Sets the key's default value (or the named value) to a text, at the next apply()."""
        top = _top_key(key)
        if top not in self.owned:
            self.owned.append(top)
        which = "/ve" if name is None else "/v " + _cmd_argument(name)
        self.pending.append(f"reg add {_cmd_argument(key)} {which} /t {kind} "
                            f"/d {_cmd_argument(value)} /f")

    def add_odd(self, key, value, name=""):
        """Like add(), but the text is stored with an odd byte count (the text and half of its
        NUL), as some installers write it and reg.exe cannot."""
        top = _top_key(key)
        if top not in self.owned:
            self.owned.append(top)
        tool = harness.build_dir() / "testtools" / "odd_registry_value.exe"
        tool = self.session.windows_path(tool)
        self.pending.append(" ".join(_cmd_argument(part) for part in (tool, key, name, value)))

    def associate(self, extension, klass, icon=None):
        """Registers the extension with a class of that name, whose DefaultIcon is icon."""
        self.add(f"HKCR\\{extension}", klass)
        if icon is not None:
            self.add(f"HKCR\\{klass}\\DefaultIcon", icon)

    def apply(self):
        commands, self.pending = self.pending, []
        # Once more on a failure: Wine's cmd now and then takes a whole line of the script for the
        # name of a command. Every command sets its value again (/f), so a second run is harmless.
        if commands and self._run(commands) != 0 and self._run(commands) != 0:
            raise RuntimeError("reg add failed: see wine-commands.log in the artefacts")

    def delete_all(self):
        self.pending.clear()
        keys, self.owned = self.owned, []
        if keys:
            # Every key, also after one that a failed apply() never added: a key left behind
            # would change what the next test file finds.
            self._run([f"reg delete {_cmd_argument(key)} /f" for key in reversed(keys)],
                      stop_on_failure=False)

    def _run(self, commands, stop_on_failure=True):
        script = self.session.drive_c / f"perchlet-registry-{id(self):x}.cmd"
        # Stops at the first failure. (Wine's cmd runs what follows "||" even after a success.)
        lines = ["@echo off"]
        for command in commands:
            lines += [command, "if errorlevel 1 exit /b 1"] if stop_on_failure else [command]
        script.write_bytes("".join(line + "\r\n" for line in lines).encode("cp1252"))
        try:
            return self.session.wine("cmd", "/c", self.session.windows_path(script))
        finally:
            script.unlink(missing_ok=True)


def _cmd_argument(text):
    """One argument of a batch file line as reg.exe reads it back: in double quotes, with the
    quote and backslash rules of the Windows command line, and % doubled for cmd."""
    out = []
    backslashes = 0
    for char in text:
        if char == "\\":
            backslashes += 1
            continue
        if char == '"':
            out.append("\\" * (2 * backslashes + 1) + '"')
        else:
            out.append("\\" * backslashes + char)
        backslashes = 0
    out.append("\\" * (2 * backslashes))
    return '"' + "".join(out).replace("%", "%%") + '"'


def _top_key(key):
    """The key directly below the root for HKCR (an extension, a class or a CLSID entry), or the
    full key elsewhere: what a test adds there is its own from that level down."""
    parts = key.split("\\")
    if parts[0].upper() in ("HKCR", "HKEY_CLASSES_ROOT"):
        if len(parts) > 2 and parts[1].upper() == "CLSID":
            return "\\".join(parts[:3])
        return "\\".join(parts[:2])
    return key
