"""Trace lines and picture colours of Perchlet that several end-to-end tests look for."""

CROSS_RED = (223, 0, 41)  # the main red of the crossed picture


def adding(command):
    return f"Adding new icon to Tray for '{command}'"


def read_line(line):
    return f"Read batch command line '{line}'"


def not_found(path):
    return f"Warning: icon '{path}' wasn't found, using default instead"


def not_written(path):
    return f"Warning: icon '{path}' wasn't written, using default instead"
