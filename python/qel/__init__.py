# SPDX-License-Identifier: Apache-2.0
"""libqel for Python: the management server of the service processor, one call at a time.

``qel.Client(host, program, timeout)`` is one SP, on connections of its own; its operations are
grouped as in qel.h (``client.sensors.get_value("cpu0-temp")``): server, network, platform,
sensors and admin. The modules of the same names hold the same operations as functions of the
default client, which goes to "localhost" and the program of QELPROGID (else the library's
default) until qel.connect names others. qel.aio has the client for asyncio.

Every call releases the GIL and waits at most its client's timeout (``timeout=`` changes it for
one call); Ctrl-C in the main thread ends a call at once. A result other than RESULT_OK raises a
qel.Error subclass; arguments are checked before anything is sent (TypeError, ValueError).
"""
from __future__ import annotations

from types import TracebackType
from typing import Any

from . import _checks, admin, network, platform, sensors, server
from ._calls import CLIENT_TIMEOUT, UseClientTimeout
from ._checks import COUNT_LIMIT, TEXT_LIMIT
from ._default import caller as _default
from ._native import lib
from .client import Client
from .errors import (CallFailed, CallTimeout, ConnectionRefused, Error, FileUnavailable,
                     HostDown, HostNotFound, HostUnreachable, InvalidArgument, NoResources,
                     NotAvailable, NotConnected, NotRegistered, NullArgument, ServerError,
                     TooManyValues, error)

__all__ = ["Client", "connect", "disconnect", "Connection", "NO_READING", "DEFAULT_PROGRAM",
           "CLIENT_TIMEOUT", "UseClientTimeout", "TEXT_LIMIT", "COUNT_LIMIT", "Error",
           "CallFailed", "CallTimeout", "ConnectionRefused", "FileUnavailable", "HostDown",
           "HostNotFound", "HostUnreachable", "InvalidArgument", "NoResources", "NotAvailable",
           "NotConnected", "NotRegistered", "NullArgument", "ServerError", "TooManyValues",
           "admin", "network", "platform", "sensors", "server"]
__version__ = f"{lib.QEL_VERSION_MAJOR}.{lib.QEL_VERSION_MINOR}.{lib.QEL_VERSION_PATCH}"

# The reading of a sensor that has no value to offer.
NO_READING: float = lib.QEL_NO_READING
# The program number of the management server when nothing names another.
DEFAULT_PROGRAM: int = lib.QELPY_DEFAULT_PROGRAM


class Connection:
    """The calling thread's connection of the default client; as a context manager, drops it
    on leaving."""

    def __enter__(self) -> Connection:
        return self

    def __exit__(self, kind: type[BaseException] | None, error: BaseException | None,
                 trace: TracebackType | None) -> None:
        # A call that got no reply may have dropped the connection already.
        _default.disconnect()


def connect(host: str | None = None, program: int | None = None) -> Connection:
    """Opens the calling thread's connection of the default client. A host or program given is
    the default client's from now on, in every thread (whose connections go there once they
    are opened anew), and this thread's connection is opened anew at once."""
    if host is not None or program is not None:
        _default.retarget(host, None if program is None else _checks.program(program))
        _default.disconnect()
    _default.connect()
    return Connection()


def disconnect() -> None:
    """Drops the calling thread's connection of the default client; NotConnected when it had
    none."""
    if not _default.disconnect():
        raise error(lib.RESULT_NOT_CONNECTED, "qelDisconnect")


def __getattr__(name: str) -> Any:
    if name == "aio":  # imported on first use: it brings asyncio
        from . import aio
        return aio
    raise AttributeError(f"module 'qel' has no attribute {name!r}")

