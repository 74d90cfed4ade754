# SPDX-License-Identifier: Apache-2.0
"""Platform control: state, power, actions, events, the button and the platform type."""
from __future__ import annotations

from ._calls import status, text_in, value
from ._native import lib


def get_state() -> int:
    """The platform state."""
    return value(lib.qelPlatformGetState, "int *")


def set_action(action_code: int, action_option: int, action_value: int,
               action_text: str | None = None) -> None:
    """Sends a platform action; the option is 0 to 255, no text sends ""."""
    status(lib.qelPlatformSetAction, action_code, action_option, action_value,
           text_in(action_text))


def get_power_state() -> int:
    return value(lib.qelPlatformGetPowerState, "int *")


def set_power_state(state: int) -> None:
    status(lib.qelPlatformSetPowerState, state)


def get_power_level() -> int:
    return value(lib.qelPlatformGetPowerLevel, "int *")


def set_power_level(level: int) -> None:
    status(lib.qelPlatformSetPowerLevel, level)


def get_shutdown_reason() -> int:
    """The reason of the last shutdown."""
    return value(lib.qelPlatformGetShutdownReason, "int *")


def machine_check_event(value1: int, value2: int, value3: int, text: str) -> None:
    """Reports a machine-check event."""
    status(lib.qelPlatformMachineCheckEvent, value1, value2, value3, text_in(text))


def log_dimm_error(value1: int, value2: int, value3: int, value4: int, text: str) -> None:
    """Reports a DIMM error."""
    status(lib.qelPlatformLogDimmError, value1, value2, value3, value4, text_in(text))


def button(button: int) -> None:
    status(lib.qelPlatformButton, button)


def get_type(key: str) -> int:
    """The platform type for a type key; a reply of 0 raises InvalidArgument."""
    return value(lib.qelPlatformGetType, "int *", text_in(key))
