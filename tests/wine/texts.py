"""Perchlet's own texts that the end-to-end tests look for: window titles, menu and button
captions, trace log lines, message box texts and its debug output. Each is written here once,
exactly as the program writes it."""

import os
import re
from pathlib import Path

# The version CMake's project() gives the program, from the build's cache.
_BUILD = os.environ.get("PERCHLET_BUILD", Path(__file__).resolve().parents[2] / "build" /
                        f"windows-{os.environ.get('PERCHLET_ARCH', 'x64')}")
_CACHE = Path(_BUILD, "CMakeCache.txt")
_VERSION = re.findall(r"^CMAKE_PROJECT_VERSION:STATIC=(.*)$",
                      _CACHE.read_text() if _CACHE.exists() else "", re.MULTILINE)
APP_TITLE = f"Perchlet! v{''.join(_VERSION)}"  # also the title of its message boxes
EXIT_TITLE = "Exit Perchlet?"

# -- the popup menu and the exit question ---------------------------------------------------------

LAUNCH_ITEM = "Launch!"
CANCEL_ITEM = "Cancel Menu"
EXIT_ITEM = "Exit Perchlet..."
YES_BUTTON = "&Yes"
NO_BUTTON = "&No"
EXIT_ONE = "Exiting Perchlet will remove the icon currently managed by it. Are you sure?"


def exit_many(count):
    return (f"Exiting Perchlet will remove the {count} icons currently managed by it. "
            "Are you sure?")


# -- start-up and the options file -----------------------------------------------------------------

INITIALIZING = f"{APP_TITLE} - Initializing!"
READING_OPTIONS = "Reading Options..."


def options_not_found(path):
    return f"Options file '{path}' not found..."


def setting_read(name, value):
    return f"{name} setting value read as {value}"


def unrecognised_setting(name):
    return f"Warning: Unrecognised setting '{name}' found in Perchlet.ini, ignoring."


# -- command intake ------------------------------------------------------------------------------

COMMAND_LINE = "Perchlet command line is '"
OPENING_BATCH = "Opening Batch command file '"
READ_LINE = "Read batch command line '"
ADDING = "Adding new icon to Tray for '"
MISSING_BATCH = "Couldn't find '"
EMPTY_COMMAND_LINE_BOX = ("Please supply an appropriate command line.\n\n"
                          "Refer to the 'Getting started with Perchlet' document for full details")


def command_line(text):
    return f"{COMMAND_LINE}{text}'"


def opening_batch(name):
    return f"{OPENING_BATCH}{name}'"


def read_line(line):
    return f"{READ_LINE}{line}'"


def adding(command):
    return f"{ADDING}{command}'"


def missing_batch(name):
    return f"{MISSING_BATCH}{name}' file as specified on command line - exiting!"


def unreadable_batch(name, reason):
    return f"Couldn't read '{name}' file as specified on command line ({reason}) - exiting!"


def malformed(line):
    return (f"Command line '{line}' appears to be malformed\n\nPlease ensure that commands are "
            "properly surrounded by matched quotes where neccessary")


def limit_reached(command):
    return f"Warning: Tray icon limit of 30 reached, ignoring command '{command}'"


def expansion_failed_box(command):
    return (f"Warning - An error occurred while interpreting the '{command}' command line.\r\r"
            "Please ensure that it is correctly formed.")


def expansion_failed(command):
    """The trace line of a failed %NAME% expansion; the system's text of error 5 varies."""
    return re.compile(r"^Error 5 \(.+\) occurred in subReplaceEnvironmentVars, "
                      rf"strCommand='{re.escape(command)}'$")


# -- the working folder and the trace log ---------------------------------------------------------


def log_not_opened(path):
    return f"Couldn't open the trace log '{path}', carrying on without it."


# -- icons ---------------------------------------------------------------------------------------

NO_ASSOCIATION = "No specific file association found, using default..."
SHELL32_DEFAULT = "%systemroot%\\system32\\shell32.dll,0"
ASSOCIATED_ICON_FOUND = "Associated icon found to be '"
SUBSCRIPT_OUT_OF_RANGE = "Error  9 (Subscript out of range) occurred in subExtractIcons"
OVERFLOW = "Error  6 (Overflow) occurred in subExtractIcons"


def determining(extension):
    return f"Determining associated icon for '{extension}'"


def found(association):
    return f"{ASSOCIATED_ICON_FOUND}{association}'"


def overriding(old, new):
    return f"Overriding determined icon number of '{old}' with user specified one of '{new}'"


def not_found(path):
    return f"Warning: icon '{path}' wasn't found, using default instead"


def not_written(path):
    return f"Warning: icon '{path}' wasn't written, using default instead"


def not_loaded(path):
    return f"Warning: icon '{path}' couldn't be loaded, using default instead"


def unusable_number(number, association):
    return (f"Warning: icon number '{number}' of associated icon '{association}' isn't usable, "
            "using default instead")


def names_no_file(association):
    return f"Warning: associated icon '{association}' names no file, using default instead"


def source_not_found(path):
    return f"Icon source file, '{path}' wasn't found"


def source_without_icons(path):
    return f"Icon source file, '{path}' doesn't contain any resources"


def damaged_group(path):
    return f"Damaged icon group in icon source file, '{path}'"


def damaged_image(path):
    return f"Damaged icon image in icon source file, '{path}'"


def resource_missing(path):
    return f"Failed to locate resource in icon source file, '{path}'"


def holding_file_failed(path):
    return f"Failed to create icon holding file '{path}'"


# -- launching -----------------------------------------------------------------------------------

LAUNCHING = "Launching '"
EMPTY_LAUNCH = "Warning: Abandoning launch attempt as command to launch appears to be empty.."


def launching(target, parameters=""):
    description = (f"(with parameters of '{parameters}')" if parameters else
                   "(without parameters)")
    return f"{LAUNCHING}{target}' {description}"


def launching_elevated(target, parameters=""):
    return f"{launching(target, parameters)} with the verb 'runas'"


def opening_location(target, folder):
    return f"Opening file location of '{target}' in folder '{folder}'"


def launch_failed(reason):
    return f"Error: Launch failed - Windows returned '{reason}'"


def launch_failed_box(target, reason):
    return (f"{launching(target)} failed unexpectedly.\r\r"
            f"The error returned from Windows was '{reason}'")


# -- exit ----------------------------------------------------------------------------------------

EXIT_SELECTED = "Exit selected..."
EXIT_CANCELLED = "Exit cancelled!"
SECTION_END = "-" * 75


def unloading(count):
    return f"Unloading {count} icons and terminating..."


# -- debug output (OutputDebugStringA, seen with WINEDEBUG=+debugstr) -----------------------------

OBJECT_COUNTS = re.compile(r'OutputDebugStringA "Perchlet objects (after start-up|after a fade '
                           r'tick|at shutdown): ([a-z0-9= ]+?)\\n"')


# -- reading the trace ---------------------------------------------------------------------------


def entry_traces(messages):
    """The trace messages written while each tray entry was added, in entry order: everything
    after an "Adding new icon" line up to the next batch line or entry."""
    entries = []
    for message in messages:
        if message.startswith(ADDING):
            entries.append([])
        elif message.startswith(READ_LINE):
            entries.append(None)  # a batch line ends the entry before it
        elif entries and entries[-1] is not None:
            entries[-1].append(message)
    return [entry for entry in entries if entry is not None]
