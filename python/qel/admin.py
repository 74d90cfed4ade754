# SPDX-License-Identifier: Apache-2.0
"""Administration and identity: console and CPU configuration, the product name, PBM strings,
process registration, notifications and the server's diagnostics."""
from __future__ import annotations

from dataclasses import dataclass

from ._calls import outputs, status, take_text, text, text_in
from ._native import lib


@dataclass
class ConsoleConfig:
    """The five console settings, named by their place in the console operations."""
    console_value1: int
    console_value2: int
    console_value3: int
    console_value4: int
    console_value5: int


def get_console_config() -> ConsoleConfig:
    values = outputs(lib.qelSysGetConsoleConfig, ("int *",) * 4 + ("unsigned long *",))
    return ConsoleConfig(*(pointer[0] for pointer in values))


def set_console_config(config: ConsoleConfig) -> None:
    status(lib.qelSysSetConsoleConfig, config.console_value1, config.console_value2,
           config.console_value3, config.console_value4, config.console_value5)


def set_cpu_configuration(value1: int, value2: int, value3: int, value4: int,
                          value5: int) -> None:
    status(lib.qelSetCPUConfiguration, value1, value2, value3, value4, value5)


def get_product_id() -> str:
    """The product name, from the "product-id" sensor and the map file
    /usr/local/config/prod_id_map (FileUnavailable without it)."""
    return text(lib.qelGetProductId)


def get_pbm_string(pbm_selector: int) -> str:
    return text(lib.qelGetPBMString, pbm_selector)


def set_pbm_string(pbm_selector: int, pbm_text: str | None = None) -> None:
    """No text sends ""."""
    status(lib.qelSetPBMString, pbm_selector, text_in(pbm_text))


def register_pid(pid: int, process_tag: int) -> None:
    status(lib.qelRegisterPID, pid, process_tag)


def notify(notification: int) -> None:
    status(lib.qelNotify, notification)


def internal_state() -> str | None:
    """The server's internal state, or None on any failure (the library gives no code)."""
    return take_text(lib.qelInternalState())


def set_debug_level(debug_level: int) -> int:
    """Sets the server's debug level; its reply unchanged, or 0 on any failure."""
    return int(lib.qelSetDebugLevel(debug_level))
