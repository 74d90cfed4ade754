# SPDX-License-Identifier: Apache-2.0
"""How every operation is called: on a connection of its client's own (a session per client and
thread, native/session.h), with the client's wait or the call's, interruptible by Ctrl-C in the
main thread; and the shapes its results take. Texts cross as UTF-8; bytes that are not UTF-8
come back as lone surrogates (U+DC80 to U+DCFF, Python's "surrogateescape") and go out again as
the same bytes. Every heap text or block the library hands over is freed here, also when the
operation failed, so nothing is left to the caller."""
from __future__ import annotations

import enum
import os
import signal
import socket
import threading
import time
import weakref
from typing import Any, Callable, TypeVar, Union

from . import _checks
from ._native import ffi, lib
from .errors import CallFailed, CallTimeout, Error, HostNotFound, NoResources, error

__all__ = ["CLIENT_TIMEOUT", "ServerNumber", "Timeout", "UseClientTimeout"]

Operation = Callable[..., Any]


class UseClientTimeout:
    """The type of CLIENT_TIMEOUT: a call waits as long as its client says."""

    def __repr__(self) -> str:
        return "CLIENT_TIMEOUT"


CLIENT_TIMEOUT = UseClientTimeout()
# A call's wait in seconds: a number, None for no limit, or CLIENT_TIMEOUT for its client's.
Timeout = Union[float, None, UseClientTimeout]

# Whether the package's SIGINT handler stands in front of the interpreter's is checked again
# this often, while calls are made: Python puts its own back whenever a program (asyncio.run,
# for one) sets SIGINT's handler, and the package's goes only where Python's default,
# KeyboardInterrupt, is in force.
_WATCH_SECONDS = 0.1
_next_watch = [0.0]
_main_thread = [threading.main_thread().ident]


def _watch_sigint() -> None:
    _next_watch[0] = time.monotonic() + _WATCH_SECONDS
    lib.qelpy_watch_sigint(signal.getsignal(signal.SIGINT) is signal.default_int_handler)


def _forked() -> None:
    _main_thread[0] = threading.get_ident()
    _next_watch[0] = 0.0


os.register_at_fork(after_in_child=_forked)


Number = TypeVar("Number", bound="ServerNumber")


class ServerNumber(enum.IntEnum):
    """A number whose meaning is the server's: the values qel-simd gives have names, any other
    comes back as a member named UNKNOWN with its value."""

    @classmethod
    def of(cls: type[Number], value: int) -> Number:
        """The member for value, as cls(value) gives it, without the enum's slower call."""
        member: Number | None = cls._value2member_map_.get(value)  # type: ignore[assignment]
        return member if member is not None else cls(value)

    @classmethod
    def _missing_(cls, value: object) -> ServerNumber | None:
        if not isinstance(value, int):
            return None
        member = int.__new__(cls, value)
        member._name_ = "UNKNOWN"
        member._value_ = value
        return member


class _Hex(int):
    """A program number, shown as it is usually written."""

    def __repr__(self) -> str:
        return f"{self:#x}"


def take_text(pointer: Any) -> str | None:
    """Decodes and frees a heap text of the library; NULL is None."""
    if pointer == ffi.NULL:
        return None
    try:
        decoded: str = ffi.string(pointer).decode("utf-8", "surrogateescape")
        return decoded
    finally:
        lib.free(pointer)


def take_block(pointer: Any, size: int) -> bytes | None:
    """Copies and frees a heap block of the library; NULL is None."""
    if pointer == ffi.NULL:
        return None
    try:
        copied: bytes = ffi.buffer(pointer, size)[:]
        return copied
    finally:
        lib.free(pointer)


def decimal(value: float) -> float:
    """A float of the library as the decimal it was meant to be (97.3, not 97.30000305...)."""
    result: float = lib.qelpy_decimal(value)
    return result


class Caller:
    """The calls of one client: its target, its wait, and a session per thread that uses it."""

    def __init__(self, host: str, program: int | None, timeout: float | None) -> None:
        self._host = host
        self._program = program
        self._wait = _checks.wait(timeout)
        self.timeout = timeout
        target = lib.qelpy_target_new(_checks.host(host), program or 0)
        if target == ffi.NULL:
            raise MemoryError("no memory for a client")
        self._target = ffi.gc(target, lib.qelpy_target_free)
        self._local = threading.local()
        self._sessions: weakref.WeakSet[Any] = weakref.WeakSet()
        self._lock = threading.Lock()
        self.closed = False

    @property
    def host(self) -> str:
        return self._host

    @property
    def program(self) -> int:
        """The program number connections are created with (now, where QELPROGID decides)."""
        program: int = lib.qelpy_target_program(self._target)
        return program

    def session(self) -> Any:
        """The calling thread's session, created on its first call."""
        try:
            return self._local.session
        except AttributeError:
            pass
        with self._lock:
            if self.closed:
                raise ValueError("the client is closed")
            interruptible = threading.get_ident() == _main_thread[0]
            created = lib.qelpy_session_new(self._target, self._wait, interruptible)
            if created == ffi.NULL:
                raise MemoryError("no memory for a connection")
            session = ffi.gc(created, lib.qelpy_session_free)
            self._sessions.add(session)
        self._local.session = session
        return session

    def _run(self, operation: Operation, timeout: Timeout, args: tuple[Any, ...]) -> Any:
        """operation on the calling thread's session: the session, and what it returned."""
        try:
            session = self._local.session
        except AttributeError:
            session = self.session()
        if _next_watch[0] <= time.monotonic():
            _watch_sigint()
        if timeout is CLIENT_TIMEOUT:
            return session, operation(session, *args)
        lib.qelpy_set_wait(session, _checks.wait(timeout))
        try:
            return session, operation(session, *args)
        finally:
            lib.qelpy_set_wait(session, self._wait)

    def status(self, operation: Operation, shown: tuple[Any, ...], timeout: Timeout,
               *args: Any) -> None:
        """An operation that returns a result code; one other than RESULT_OK raises, as do a
        failure to connect and a call ended by its wait, Ctrl-C or close()."""
        session, code = self._run(operation, timeout, args)
        if code:
            raise self._failure(session, operation, shown, timeout)

    def plain(self, operation: Operation, shown: tuple[Any, ...], timeout: Timeout,
              *args: Any) -> Any:
        """What an operation without a result code returns (a heap text is the caller's to
        take); only a failure to connect and a call ended by its wait, Ctrl-C or close()
        raise."""
        session, result = self._run(operation, timeout, args)
        if lib.qelpy_outcome(session):
            if isinstance(result, ffi.CData):
                take_text(result)
            raise self._failure(session, operation, shown, timeout)
        return result

    def value(self, operation: Operation, ctype: str, shown: tuple[Any, ...], timeout: Timeout,
              *args: Any) -> Any:
        """The one value an operation writes through its last pointer (ctype "int *")."""
        out = ffi.new(ctype)
        session, code = self._run(operation, timeout, (*args, out))
        if code:
            raise self._failure(session, operation, shown, timeout)
        return out[0]

    def text(self, operation: Operation, shown: tuple[Any, ...], timeout: Timeout,
             *args: Any) -> str:
        """The heap text an operation hands over through its last pointer."""
        out = ffi.new("char **")
        try:
            self.status(operation, shown, timeout, *args, out)
        finally:
            taken = take_text(out[0])
        return taken if taken is not None else ""

    def _failure(self, session: Any, operation: Operation, shown: tuple[Any, ...],
                 timeout: Timeout) -> Exception:
        outcome = lib.qelpy_outcome(session)
        code = lib.qelpy_result(session)
        name = operation.__name__.removeprefix("qelpy_")
        if outcome & lib.QELPY_CLOSED:
            return ValueError("the client is closed")
        if outcome & lib.QELPY_AT_CREATION:
            return self._creation_failure(code)
        if outcome & lib.QELPY_ABORTED:
            return error(code, name, shown, CallFailed,
                         "abandoned: interrupted, cancelled or its client closed (the "
                         "connection was dropped)")
        if outcome & lib.QELPY_TIMED_OUT:
            wait = self.timeout if timeout is CLIENT_TIMEOUT else timeout
            return error(code, name, shown, CallTimeout,
                         f"no reply within {wait:g} s (the connection was dropped)")
        return error(code, name, shown)

    def _creation_failure(self, code: int) -> Error:
        shown = (self._host, _Hex(self.program))
        if code == lib.RESULT_NO_RESOURCES:
            try:
                socket.getaddrinfo(self._host, None)
            except socket.gaierror as unresolved:
                return error(code, "qelConnect", shown, HostNotFound,
                             f"the host name does not resolve ({unresolved.strerror})")
            return error(code, "qelConnect", shown, NoResources)
        return error(code, "qelConnect", shown)

    def connect(self) -> None:
        """Connects the calling thread now, unless it is."""
        if self.closed:
            raise ValueError("the client is closed")
        code = lib.qelpy_connect(self.session())
        if code:
            raise self._creation_failure(code)

    def disconnect(self) -> bool:
        """Drops the calling thread's connection; whether it had one."""
        return bool(lib.qelpy_disconnect(self.session()))

    def retarget(self, host: str | None, program: int | None) -> None:
        """Connections created from now on go to host and program (where given)."""
        encoded = ffi.NULL if host is None else _checks.host(host)
        lib.qelpy_target_set(self._target, encoded, program or 0)
        if host is not None:
            self._host = host
        if program:
            self._program = program

    def close(self) -> None:
        """Ends every call in progress and drops every connection; later calls raise
        ValueError."""
        with self._lock:
            self.closed = True
            sessions = list(self._sessions)
        for session in sessions:
            lib.qelpy_close(session)
