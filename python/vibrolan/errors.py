"""Exceptions of the vibrolan module; the messages are the program's own."""


class Error(RuntimeError):
    """Any error the program reports."""


class FileError(Error, OSError):
    """A file could not be opened, read, written or created."""


class FormatError(Error, ValueError):
    """A file was read but its contents are malformed (truncated, foreign, corrupt)."""


class BadValueError(Error, ValueError):
    """A value given or configured is outside what the operation accepts."""
