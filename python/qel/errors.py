# SPDX-License-Identifier: Apache-2.0
"""Result codes as exceptions.

Every operation raises a subclass of Error for a result other than RESULT_OK: one class per code
the library produces itself, and ServerError for any other code, which is the management
server's own and passed on unchanged (a server reply of -1 arrives as 4294967295).
"""
from __future__ import annotations

from ._native import lib


class Error(Exception):
    """A failed operation: its result code, the code's RESULT_* name (None for a server's own
    code) and the C operation that returned it."""

    def __init__(self, code: int, name: str | None, operation: str) -> None:
        super().__init__(code, name, operation)
        self.code = code
        self.name = name
        self.operation = operation

    def __str__(self) -> str:
        return f"{self.operation}: {self.name or 'server code'} ({self.code})"


class CallFailed(Error):
    """No reply (timeout, broken connection, undecodable reply); the thread's connection was
    dropped and its next operation connects anew."""


class NotConnected(Error):
    """There was no connection to drop."""


class InvalidArgument(Error):
    """An argument, a text or a returned value was rejected."""


class NotAvailable(Error):
    """The value asked for is not available."""


class NullArgument(Error):
    """A required argument of an address text conversion was missing."""


class NoResources(Error):
    """Out of memory, or the client could not be set up otherwise."""


class ConnectionRefused(Error):
    """The port mapper or the server refused the connection, or access was denied."""


class HostUnreachable(Error):
    """The server's host is unreachable."""


class HostDown(Error):
    """The server's host is down."""


class FileUnavailable(Error):
    """The product map file cannot be opened."""


class NotRegistered(Error):
    """The server's program is not registered with the port mapper: no server runs."""


class TooManyValues(Error):
    """A text holds more DNS servers than can be sent."""


class ServerError(Error):
    """A code of the management server's own."""


_CLASSES: dict[str, type[Error]] = {
    "RESULT_CALL_FAILED": CallFailed,
    "RESULT_NOT_CONNECTED": NotConnected,
    "RESULT_INVALID_ARGUMENT": InvalidArgument,
    "RESULT_NOT_AVAILABLE": NotAvailable,
    "RESULT_NULL_ARGUMENT": NullArgument,
    "RESULT_NO_RESOURCES": NoResources,
    "RESULT_CONNECTION_REFUSED": ConnectionRefused,
    "RESULT_HOST_UNREACHABLE": HostUnreachable,
    "RESULT_HOST_DOWN": HostDown,
    "RESULT_FILE_UNAVAILABLE": FileUnavailable,
    "RESULT_NOT_REGISTERED": NotRegistered,
    "RESULT_TOO_MANY_VALUES": TooManyValues,
}
_BY_CODE = {getattr(lib, name): (name, cls) for name, cls in _CLASSES.items()}


def check(code: int, operation: str) -> None:
    """Raises the exception of a result code other than RESULT_OK."""
    if code == lib.RESULT_OK:
        return
    name, cls = _BY_CODE.get(code, (None, ServerError))
    raise cls(code, name, operation)
