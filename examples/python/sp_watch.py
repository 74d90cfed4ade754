# SPDX-License-Identifier: Apache-2.0
"""sp_watch: a user's tool, the example's subject. It reads a CPU temperature from the service
processor and says what it found: "ok", "ALARM" above 95 degrees, "no reading", "error N" with
the library's result, or "no answer" when the server does not reply within the tool's own
deadline, so that a hung management server never hangs the tool."""
from __future__ import annotations

import sys

import qel

ALARM_ABOVE = 95.0


def check(sensor: str = "cpu0-temp", deadline: float = 2.0, host: str = "localhost") -> str:
    with qel.Client(host, timeout=deadline) as sp:
        try:
            reading = sp.sensors.get_value(sensor)
        except qel.CallTimeout:
            return f"no answer from the SP within {deadline:g} s"
        except qel.Error as error:
            return f"error {error.code} ({error.name or 'server code'})"
    if reading == qel.NO_READING:
        return f"no reading for {sensor}"
    verdict = "ALARM" if reading > ALARM_ABOVE else "ok"
    return f"{verdict} {sensor} {reading:.1f} C"


if __name__ == "__main__":
    print(check(sys.argv[1] if len(sys.argv) > 1 else "cpu0-temp"))
