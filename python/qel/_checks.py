# SPDX-License-Identifier: Apache-2.0
"""Arguments checked before any call: a wrong type raises TypeError, a value that the library or
the wire cannot carry ValueError, each naming the argument. Nothing is sent then, and the
connection stays as it was."""
from __future__ import annotations

import math
import operator
from typing import Any

from ._native import ffi

__all__ = ["TEXT_LIMIT", "COUNT_LIMIT"]

# The bytes (UTF-8) of one request text: a request travels as one record of at most 64 KiB, with
# the call's header and the other fields besides.
TEXT_LIMIT = 65000
# Values asked of get_vrm_goodness at once: the server sends at most 4, the rest are zeros.
COUNT_LIMIT = 1024
# The C types' ranges: int, unsigned int (and unsigned long, 32 bits on the wire), a byte, a
# 16-bit selector.
INT = (-2**31, 2**31 - 1)
UINT = (0, 2**32 - 1)
BYTE = (0, 255)
USHORT = (0, 2**16 - 1)
# The largest float a reading can travel as.
FLOAT_MAX = 3.4028234663852886e38
# The longest host name the sessions keep, and the longest wait the library takes.
HOST_LIMIT = 255
WAIT_LIMIT = 100_000_000.0


def text(value: Any, name: str, *, optional: bool = False) -> Any:
    """A text for the library, as UTF-8 (lone surrogates U+DC80 to U+DCFF as the bytes they
    stand for); None is NULL where optional."""
    if value is None and optional:
        return ffi.NULL
    if not isinstance(value, str):
        wanted = "a str or None" if optional else "a str"
        raise TypeError(f"{name} must be {wanted}, not {type(value).__name__}")
    if "\0" in value:
        raise ValueError(f"{name} holds a NUL character, which would end it there")
    encoded = value.encode("utf-8", "surrogateescape")
    if len(encoded) > TEXT_LIMIT:
        raise ValueError(f"{name} is {len(encoded)} bytes long; a request text holds at most "
                         f"{TEXT_LIMIT}")
    return encoded


def integer(value: Any, name: str, limits: tuple[int, int] = INT) -> int:
    """An integer within a C type's range."""
    try:
        number = operator.index(value)
    except TypeError:
        raise TypeError(f"{name} must be an int, not {type(value).__name__}") from None
    low, high = limits
    if not low <= number <= high:
        raise ValueError(f"{name} must be {low} to {high}, not {number}")
    return number


def number(value: Any, name: str) -> float:
    """A finite number that a 32-bit float holds."""
    if not isinstance(value, (int, float)):
        raise TypeError(f"{name} must be a number, not {type(value).__name__}")
    if abs(value) > FLOAT_MAX or not math.isfinite(value):
        raise ValueError(f"{name} must be a finite number a 32-bit float holds, not {value!r}")
    return float(value)


def boolean(value: Any, name: str) -> bool:
    if not isinstance(value, (bool, int)):
        raise TypeError(f"{name} must be a bool, not {type(value).__name__}")
    return bool(value)


def host(value: Any) -> bytes:
    """A host name or address to connect to."""
    if not isinstance(value, str):
        raise TypeError(f"host must be a str, not {type(value).__name__}")
    encoded = value.encode("utf-8", "surrogateescape")
    if not encoded or b"\0" in encoded or len(encoded) > HOST_LIMIT:
        raise ValueError(f"host must be 1 to {HOST_LIMIT} bytes without NUL, not {value!r}")
    return encoded


def program(value: Any) -> int:
    """An RPC program number; 0 would leave the choice to the library."""
    return integer(value, "program", (1, UINT[1]))


def wait(value: Any, name: str = "timeout") -> int:
    """A wait in whole microseconds (at least one millisecond, the library's step); None waits
    without limit (-1)."""
    if value is None:
        return -1
    if not isinstance(value, (int, float)) or isinstance(value, bool):
        raise TypeError(f"{name} must be a number of seconds or None, not {type(value).__name__}")
    if not 0 < value <= WAIT_LIMIT:
        raise ValueError(f"{name} must be more than 0 and at most {WAIT_LIMIT:.0f} seconds, "
                         f"not {value!r}")
    return max(1000, math.ceil(value * 1e6))
