# SPDX-License-Identifier: Apache-2.0
"""libqel for Python: the management server of the service processor, one call at a time.

Operations are grouped as in qel.h: qel.server, qel.network, qel.platform, qel.sensors and
qel.admin. Each is one call of the C library with the GIL released; a result other than
RESULT_OK raises a qel.Error subclass. Each thread has its own connection, opened by its first
operation (or by connect) to the host and program number remembered for the process: by default
"localhost" and 0x2051454C, or the program in the environment variable QELPROGID.
"""
from __future__ import annotations

from types import TracebackType

from . import admin, network, platform, sensors, server
from ._calls import status
from ._native import ffi, lib
from .errors import (CallFailed, ConnectionRefused, Error, FileUnavailable, HostDown,
                     HostUnreachable, InvalidArgument, NoResources, NotAvailable, NotConnected,
                     NotRegistered, NullArgument, ServerError, TooManyValues)

__all__ = ["connect", "disconnect", "Connection", "NO_READING", "Error", "CallFailed",
           "ConnectionRefused", "FileUnavailable", "HostDown", "HostUnreachable",
           "InvalidArgument", "NoResources", "NotAvailable", "NotConnected", "NotRegistered",
           "NullArgument", "ServerError", "TooManyValues", "admin", "network", "platform",
           "sensors", "server"]
__version__ = f"{lib.QEL_VERSION_MAJOR}.{lib.QEL_VERSION_MINOR}.{lib.QEL_VERSION_PATCH}"

# The reading of a sensor that has no value to offer.
NO_READING: float = lib.QEL_NO_READING

# The library keeps the host text it is given by reference, for every later connection of every
# thread: each one passed stays alive here for good.
_hosts: dict[str, object] = {}


class Connection:
    """The calling thread's connection; as a context manager, disconnects on leaving."""

    def __enter__(self) -> Connection:
        return self

    def __exit__(self, kind: type[BaseException] | None, error: BaseException | None,
                 trace: TracebackType | None) -> None:
        # A call that got no reply may have dropped the connection already.
        lib.qelDisconnect()


def connect(host: str | None = None, program: int | None = None) -> Connection:
    """Opens the calling thread's connection. A host or program given is remembered for every
    later connection of every thread, and drops this thread's open connection first so that it
    applies here at once. Without a program the environment's QELPROGID, else the remembered
    one, is used."""
    if host is not None or program is not None:
        lib.qelDisconnect()
    host_text = ffi.NULL
    if host is not None:
        host_text = _hosts.setdefault(host, ffi.new("char[]", host.encode()))
    status(lib.qelConnect, host_text, program or 0)
    return Connection()


def disconnect() -> None:
    """Drops the calling thread's connection; NotConnected when it had none."""
    status(lib.qelDisconnect)
