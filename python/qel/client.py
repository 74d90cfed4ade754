# SPDX-License-Identifier: Apache-2.0
"""qel.Client: one SP, on connections of its own."""
from __future__ import annotations

from types import TracebackType

from . import _checks
from ._calls import Caller
from ._default import DEFAULT_TIMEOUT
from .admin import Admin
from .network import Network
from .platform import Platform
from .sensors import Sensors
from .server import Server

__all__ = ["Client"]


class Client:
    """One SP: the server on host under program (None: QELPROGID, else the library's default,
    as they stand now), each call waiting at most timeout seconds (None: without limit) unless
    it says otherwise.

    The operations are grouped as the modules group them (``client.sensors.get_value(...)``).
    The client has a connection of its own in every thread that calls it, opened by the
    thread's first call and kept until a call gets no reply (the next connects anew): another
    client, qel.connect or another thread never redirects it. close() (or leaving a ``with``
    block) ends the calls in progress and drops the connections.
    """

    def __init__(self, host: str = "localhost", program: int | None = None,
                 timeout: float | None = DEFAULT_TIMEOUT) -> None:
        self._caller = Caller(host, None if program is None else _checks.program(program),
                              timeout)
        if program is None:
            self._caller.retarget(None, self._caller.program)
        self.server = Server(self._caller)
        self.network = Network(self._caller)
        self.platform = Platform(self._caller)
        self.sensors = Sensors(self._caller)
        self.admin = Admin(self._caller)

    @property
    def host(self) -> str:
        return self._caller.host

    @property
    def program(self) -> int:
        return self._caller.program

    @property
    def timeout(self) -> float | None:
        return self._caller.timeout

    @property
    def closed(self) -> bool:
        return self._caller.closed

    def connect(self) -> None:
        """Opens the calling thread's connection now, unless it has one: a failure to reach the
        SP raises here rather than at the first call."""
        self._caller.connect()

    def close(self) -> None:
        """Ends the client's calls in progress (they raise CallFailed) and drops its
        connections; later calls raise ValueError."""
        self._caller.close()

    def __enter__(self) -> Client:
        return self

    def __exit__(self, kind: type[BaseException] | None, error: BaseException | None,
                 trace: TracebackType | None) -> None:
        self.close()

    def __repr__(self) -> str:
        state = " closed" if self.closed else ""
        return (f"<qel.Client host={self.host!r} program={self.program:#x} "
                f"timeout={self.timeout!r}{state}>")
