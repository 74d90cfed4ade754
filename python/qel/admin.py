# SPDX-License-Identifier: Apache-2.0
"""Administration and identity: console and CPU configuration, the product name, PBM strings,
process registration, notifications and the server's diagnostics.

The module's functions call the default client; ``client.admin`` has the same operations on a
client of one's own."""
from __future__ import annotations

from dataclasses import dataclass

from . import _checks
from ._calls import CLIENT_TIMEOUT, Caller, Timeout, take_text
from ._default import caller as _default_caller
from ._native import ffi, lib

__all__ = ["Admin", "ConsoleConfig", "get_console_config", "set_console_config",
           "set_cpu_configuration", "get_product_id", "get_pbm_string", "set_pbm_string",
           "register_pid", "notify", "internal_state", "set_debug_level"]


@dataclass(frozen=True)
class ConsoleConfig:
    """The five console settings, named by their place in the console operations; the fifth
    is 0 to 4294967295."""
    console_value1: int
    console_value2: int
    console_value3: int
    console_value4: int
    console_value5: int


class Admin:
    """The administration operations on one client's connections."""

    __slots__ = ("_caller",)

    def __init__(self, caller: Caller) -> None:
        self._caller = caller

    def get_console_config(self, *, timeout: Timeout = CLIENT_TIMEOUT) -> ConsoleConfig:
        """The console settings (qelSysGetConsoleConfig)."""
        values = [ffi.new("int *") for _ in range(4)] + [ffi.new("unsigned long *")]
        self._caller.status(lib.qelpy_qelSysGetConsoleConfig, (), timeout, *values)
        return ConsoleConfig(*(value[0] for value in values))

    def set_console_config(self, config: ConsoleConfig, *,
                           timeout: Timeout = CLIENT_TIMEOUT) -> None:
        """Sets the console settings (qelSysSetConsoleConfig)."""
        if not isinstance(config, ConsoleConfig):
            raise TypeError(f"config must be a ConsoleConfig, not {type(config).__name__}")
        values = [_checks.integer(getattr(config, f"console_value{i}"), f"console_value{i}")
                  for i in range(1, 5)]
        values.append(_checks.integer(config.console_value5, "console_value5", _checks.UINT))
        self._caller.status(lib.qelpy_qelSysSetConsoleConfig, (config,), timeout, *values)

    def set_cpu_configuration(self, value1: int, value2: int, value3: int, value4: int,
                              value5: int, *, timeout: Timeout = CLIENT_TIMEOUT) -> None:
        """Sends the CPU configuration (qelSetCPUConfiguration); values 2, 3 and 5 are 0 to
        4294967295."""
        values = (value1, value2, value3, value4, value5)
        limits = (_checks.INT, _checks.UINT, _checks.UINT, _checks.INT, _checks.UINT)
        self._caller.status(lib.qelpy_qelSetCPUConfiguration, values, timeout,
                            *(_checks.integer(value, f"value{i}", limit)
                              for i, (value, limit) in enumerate(zip(values, limits), 1)))

    def get_product_id(self, *, timeout: Timeout = CLIENT_TIMEOUT) -> str:
        """The product name (qelGetProductId), from the "product-id" sensor and the map file
        /usr/local/config/prod_id_map (FileUnavailable without it)."""
        return self._caller.text(lib.qelpy_qelGetProductId, (), timeout)

    def get_pbm_string(self, pbm_selector: int, *, timeout: Timeout = CLIENT_TIMEOUT) -> str:
        """A PBM string (qelGetPBMString)."""
        return self._caller.text(lib.qelpy_qelGetPBMString, (pbm_selector,), timeout,
                                 _checks.integer(pbm_selector, "pbm_selector", _checks.UINT))

    def set_pbm_string(self, pbm_selector: int, pbm_text: str | None = None, *,
                       timeout: Timeout = CLIENT_TIMEOUT) -> None:
        """Sets a PBM string (qelSetPBMString); no text sends ""."""
        self._caller.status(lib.qelpy_qelSetPBMString, (pbm_selector, pbm_text), timeout,
                            _checks.integer(pbm_selector, "pbm_selector", _checks.UINT),
                            _checks.text(pbm_text, "pbm_text", optional=True))

    def register_pid(self, pid: int, process_tag: int, *,
                     timeout: Timeout = CLIENT_TIMEOUT) -> None:
        """Registers a process with the server (qelRegisterPID); the tag is 0 to 4294967295."""
        self._caller.status(lib.qelpy_qelRegisterPID, (pid, process_tag), timeout,
                            _checks.integer(pid, "pid"),
                            _checks.integer(process_tag, "process_tag", _checks.UINT))

    def notify(self, notification: int, *, timeout: Timeout = CLIENT_TIMEOUT) -> None:
        """Sends a notification to the server (qelNotify)."""
        self._caller.status(lib.qelpy_qelNotify, (notification,), timeout,
                            _checks.integer(notification, "notification"))

    def internal_state(self, *, timeout: Timeout = CLIENT_TIMEOUT) -> str | None:
        """The server's internal state (qelInternalState), or None when the call failed (the
        library gives no code; a failure to connect or a timeout still raises)."""
        return take_text(self._caller.plain(lib.qelpy_qelInternalState, (), timeout))

    def set_debug_level(self, debug_level: int, *, timeout: Timeout = CLIENT_TIMEOUT) -> int:
        """Sets the server's debug level (qelSetDebugLevel): its reply unchanged, or 0 when the
        call failed (a failure to connect or a timeout still raises)."""
        reply: int = self._caller.plain(lib.qelpy_qelSetDebugLevel, (debug_level,), timeout,
                                        _checks.integer(debug_level, "debug_level"))
        return reply


_default = Admin(_default_caller)
get_console_config = _default.get_console_config
set_console_config = _default.set_console_config
set_cpu_configuration = _default.set_cpu_configuration
get_product_id = _default.get_product_id
get_pbm_string = _default.get_pbm_string
set_pbm_string = _default.set_pbm_string
register_pid = _default.register_pid
notify = _default.notify
internal_state = _default.internal_state
set_debug_level = _default.set_debug_level
