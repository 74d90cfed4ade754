# SPDX-License-Identifier: Apache-2.0
"""The default client, which the modules' functions call: "localhost" and the program of
QELPROGID (else the library's default) until qel.connect names others, for every thread."""
from __future__ import annotations

from ._calls import Caller

__all__: list[str] = []

# The library's own wait for a call.
DEFAULT_TIMEOUT = 25.0

caller = Caller("localhost", None, DEFAULT_TIMEOUT)
