# SPDX-License-Identifier: Apache-2.0
"""Result codes as exceptions.

Every operation raises a subclass of Error for a result other than RESULT_OK: one class per code
the library produces itself, and ServerError for any other code, which is the management
server's own and passed on unchanged (a server reply of -1 arrives as 4294967295). The message
names the operation and its arguments: ``qelSysGetSensorValue('nope'): the server answered 16``.

Failures to reach the server are also ConnectionErrors (ConnectionRefused a
ConnectionRefusedError), a call that got no reply within its wait is also a TimeoutError, so
that code catching Python's own exceptions sees them.
"""
from __future__ import annotations

from typing import Any

from ._native import lib

__all__ = ["Error", "CallFailed", "CallTimeout", "NotConnected", "InvalidArgument",
           "NotAvailable", "NullArgument", "NoResources", "HostNotFound", "ConnectionRefused",
           "HostUnreachable", "HostDown", "FileUnavailable", "NotRegistered", "TooManyValues",
           "ServerError"]

# The longest an argument is shown in a message.
_SHOWN = 40


def _shown(value: Any) -> str:
    text = repr(value)
    return text if len(text) <= _SHOWN else text[:_SHOWN - 3] + "..."


class Error(Exception):
    """A failed operation: its result code, the code's RESULT_* name (None for a server's own
    code), the C operation that returned it and the arguments it was given."""

    what = "failed"

    def __init__(self, code: int, name: str | None, operation: str,
                 arguments: tuple[Any, ...] = (), detail: str | None = None) -> None:
        # Not OSError's constructor, for the classes that are also OSErrors: it would take the
        # code for an errno.
        Exception.__init__(self, code, name, operation)
        self.code = code
        self.name = name
        self.operation = operation
        self.arguments = arguments
        self.detail = detail

    def __str__(self) -> str:
        shown = ", ".join(_shown(argument) for argument in self.arguments)
        return f"{self.operation}({shown}): {self.detail or self.what}"

    def __reduce__(self) -> tuple[Any, ...]:
        return (type(self), (self.code, self.name, self.operation, self.arguments, self.detail))


class CallFailed(Error, ConnectionError):
    """No reply (a broken connection, a reply that does not decode, an RPC rejection); the
    connection was dropped and the next operation connects anew."""

    what = "no reply (the connection was dropped)"


class CallTimeout(CallFailed, TimeoutError):
    """No reply within the call's wait; the connection was dropped."""

    what = "no reply in time (the connection was dropped)"


class NotConnected(Error):
    """There was no connection to drop."""

    what = "there was no connection"


class InvalidArgument(Error):
    """An argument, a text or a returned value was rejected by the library."""

    what = "an argument or the value returned was rejected"


class NotAvailable(Error):
    """The value asked for is not available."""

    what = "the value is not available"


class NullArgument(Error):
    """A required argument of an address text conversion was missing."""

    what = "a required argument is missing"


class NoResources(Error):
    """Out of memory, or the client could not be set up otherwise."""

    what = "out of memory, or the connection could not be set up"


class HostNotFound(NoResources, ConnectionError):
    """The server's host name does not resolve."""

    what = "the host name does not resolve"


class ConnectionRefused(Error, ConnectionRefusedError):
    """The port mapper or the server refused the connection, or access was denied."""

    what = "the port mapper or the server refused the connection"


class HostUnreachable(Error, ConnectionError):
    """The server's host is unreachable."""

    what = "the host is unreachable"


class HostDown(Error, ConnectionError):
    """The server's host is down."""

    what = "the host is down"


class FileUnavailable(Error):
    """The product map file cannot be opened."""

    what = "the product map file cannot be opened"


class NotRegistered(Error, ConnectionError):
    """The program is not registered with the host's port mapper: no server runs under it (or,
    from get_product_id, the product sensor could not be read)."""

    what = "the program is not registered with the port mapper: no server runs under it"


class TooManyValues(Error):
    """A text holds more DNS servers than can be sent."""

    what = "more DNS servers than can be sent"


class ServerError(Error):
    """A code of the management server's own."""

    @property  # type: ignore[override]
    def what(self) -> str:
        return f"the server answered {self.code}"


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


def error(code: int, operation: str, arguments: tuple[Any, ...] = (),
          cls: type[Error] | None = None, detail: str | None = None) -> Error:
    """The exception of a result code other than RESULT_OK (cls: a subclass to raise
    instead)."""
    name, known = _BY_CODE.get(code, (None, ServerError))
    return (cls or known)(code, name, operation, arguments, detail)


def check(code: int, operation: str, arguments: tuple[Any, ...] = ()) -> None:
    """Raises the exception of a result code other than RESULT_OK."""
    if code != lib.RESULT_OK:
        raise error(code, operation, arguments)
