# SPDX-License-Identifier: Apache-2.0
"""Platform control: state, power, actions, events, the button and the platform type.

The module's functions call the default client; ``client.platform`` has the same operations on
a client of one's own. Every remote operation takes ``timeout=`` (seconds, or None for no limit)
for that call alone."""
from __future__ import annotations

from . import _checks
from ._calls import CLIENT_TIMEOUT, Caller, ServerNumber, Timeout
from ._default import caller as _default_caller
from ._native import lib

__all__ = ["Platform", "PlatformState", "PowerState", "get_state", "set_action",
           "get_power_state", "set_power_state", "get_power_level", "set_power_level",
           "get_shutdown_reason", "machine_check_event", "log_dimm_error", "button", "get_type"]


class PlatformState(ServerNumber):
    """The host platform's state."""

    OFF = 0
    BOOTING = 1
    RUNNING = 2


class PowerState(ServerNumber):
    """The host's power."""

    OFF = 0
    ON = 1


class Platform:
    """The platform operations on one client's connections."""

    __slots__ = ("_caller",)

    def __init__(self, caller: Caller) -> None:
        self._caller = caller

    def get_state(self, *, timeout: Timeout = CLIENT_TIMEOUT) -> PlatformState:
        """The platform state (qelPlatformGetState)."""
        return PlatformState.of(self._caller.value(lib.qelpy_qelPlatformGetState, "int *", (),
                                                timeout))

    def set_action(self, action_code: int, action_option: int, action_value: int,
                   action_text: str | None = None, *,
                   timeout: Timeout = CLIENT_TIMEOUT) -> None:
        """Sends a platform action (qelPlatformSetAction): the option is 0 to 255, no text
        sends ""."""
        shown = (action_code, action_option, action_value)
        self._caller.status(lib.qelpy_qelPlatformSetAction, shown, timeout,
                            _checks.integer(action_code, "action_code"),
                            _checks.integer(action_option, "action_option", _checks.BYTE),
                            _checks.integer(action_value, "action_value"),
                            _checks.text(action_text, "action_text", optional=True))

    def get_power_state(self, *, timeout: Timeout = CLIENT_TIMEOUT) -> PowerState:
        """The host's power state (qelPlatformGetPowerState)."""
        return PowerState.of(self._caller.value(lib.qelpy_qelPlatformGetPowerState, "int *", (),
                                             timeout))

    def set_power_state(self, state: PowerState | int, *,
                        timeout: Timeout = CLIENT_TIMEOUT) -> None:
        """Switches the host on or off (qelPlatformSetPowerState)."""
        self._caller.status(lib.qelpy_qelPlatformSetPowerState, (state,), timeout,
                            _checks.integer(state, "state"))

    def get_power_level(self, *, timeout: Timeout = CLIENT_TIMEOUT) -> int:
        """The power level (qelPlatformGetPowerLevel; with qel-simd a cap in percent)."""
        level: int = self._caller.value(lib.qelpy_qelPlatformGetPowerLevel, "int *", (), timeout)
        return level

    def set_power_level(self, level: int, *, timeout: Timeout = CLIENT_TIMEOUT) -> None:
        """Sets the power level (qelPlatformSetPowerLevel)."""
        self._caller.status(lib.qelpy_qelPlatformSetPowerLevel, (level,), timeout,
                            _checks.integer(level, "level"))

    def get_shutdown_reason(self, *, timeout: Timeout = CLIENT_TIMEOUT) -> int:
        """The reason of the last shutdown (qelPlatformGetShutdownReason), the server's number
        (qel-simd: 0 none, 1 management request, 2 power button, 3 graceful shutdown, 4 reset,
        5 power cycle)."""
        reason: int = self._caller.value(lib.qelpy_qelPlatformGetShutdownReason, "int *", (),
                                         timeout)
        return reason

    def machine_check_event(self, value1: int, value2: int, value3: int, text: str, *,
                            timeout: Timeout = CLIENT_TIMEOUT) -> None:
        """Reports a machine-check event (qelPlatformMachineCheckEvent)."""
        self._caller.status(lib.qelpy_qelPlatformMachineCheckEvent, (value1, value2, value3),
                            timeout, *(_checks.integer(v, f"value{i}")
                                       for i, v in enumerate((value1, value2, value3), 1)),
                            _checks.text(text, "text"))

    def log_dimm_error(self, value1: int, value2: int, value3: int, value4: int, text: str, *,
                       timeout: Timeout = CLIENT_TIMEOUT) -> None:
        """Reports a DIMM error (qelPlatformLogDimmError)."""
        values = (value1, value2, value3, value4)
        self._caller.status(lib.qelpy_qelPlatformLogDimmError, values, timeout,
                            *(_checks.integer(v, f"value{i}") for i, v in enumerate(values, 1)),
                            _checks.text(text, "text"))

    def button(self, button: int, *, timeout: Timeout = CLIENT_TIMEOUT) -> None:
        """Presses a button of the platform (qelPlatformButton)."""
        self._caller.status(lib.qelpy_qelPlatformButton, (button,), timeout,
                            _checks.integer(button, "button"))

    def get_type(self, key: str, *, timeout: Timeout = CLIENT_TIMEOUT) -> int:
        """The platform type for a type key (qelPlatformGetType); a reply of 0 raises
        InvalidArgument."""
        platform_type: int = self._caller.value(lib.qelpy_qelPlatformGetType, "int *", (key,),
                                                timeout, _checks.text(key, "key"))
        return platform_type


_default = Platform(_default_caller)
get_state = _default.get_state
set_action = _default.set_action
get_power_state = _default.get_power_state
set_power_state = _default.set_power_state
get_power_level = _default.get_power_level
set_power_level = _default.set_power_level
get_shutdown_reason = _default.get_shutdown_reason
machine_check_event = _default.machine_check_event
log_dimm_error = _default.log_dimm_error
button = _default.button
get_type = _default.get_type
