# SPDX-License-Identifier: Apache-2.0
"""Control of the management server itself.

The module's functions call the default client; ``client.server`` has the same operations on a
client of one's own."""
from __future__ import annotations

from ._calls import CLIENT_TIMEOUT, Caller, Timeout
from ._default import caller as _default_caller
from ._native import lib

__all__ = ["Server", "stop", "configure", "reboot_sp"]


class Server:
    """The server-control operations on one client's connections."""

    __slots__ = ("_caller",)

    def __init__(self, caller: Caller) -> None:
        self._caller = caller

    def stop(self, *, timeout: Timeout = CLIENT_TIMEOUT) -> None:
        """Asks the management server to stop (qelStopServer); the connection is dropped in any
        case."""
        self._caller.status(lib.qelpy_qelStopServer, (), timeout)

    def configure(self, *, timeout: Timeout = CLIENT_TIMEOUT) -> None:
        """Asks the management server to configure itself (qelConfigureServer)."""
        self._caller.status(lib.qelpy_qelConfigureServer, (), timeout)

    def reboot_sp(self, *, timeout: Timeout = CLIENT_TIMEOUT) -> None:
        """Asks for a reboot of the service processor (qelRebootSP)."""
        self._caller.status(lib.qelpy_qelRebootSP, (), timeout)


_default = Server(_default_caller)
stop = _default.stop
configure = _default.configure
reboot_sp = _default.reboot_sp
