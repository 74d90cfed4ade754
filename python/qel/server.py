# SPDX-License-Identifier: Apache-2.0
"""Control of the management server itself."""
from __future__ import annotations

from ._calls import status
from ._native import lib


def stop() -> None:
    """Asks the management server to stop; the thread's connection is dropped in any case."""
    status(lib.qelStopServer)


def configure() -> None:
    """Asks the management server to configure itself."""
    status(lib.qelConfigureServer)


def reboot_sp() -> None:
    """Asks for a reboot of the service processor."""
    status(lib.qelRebootSP)
