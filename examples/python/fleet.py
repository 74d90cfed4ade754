# SPDX-License-Identifier: Apache-2.0
"""fleet: reads one sensor of every SP of a fleet at once, with asyncio. Each SP has its client
and its deadline; a hung or absent SP costs its own deadline and nobody else's.

    python3 fleet.py cpu0-temp sp1.example.org sp2.example.org:0x40000123
"""
from __future__ import annotations

import asyncio
import sys

import qel
import qel.aio


async def read(host: str, program: int | None, sensor: str, deadline: float) -> str:
    async with qel.aio.Client(host, program, timeout=deadline) as sp:
        try:
            return f"{await sp.sensors.get_value(sensor):g}"
        except qel.Error as error:
            return str(error)


async def poll(targets: list[str], sensor: str, deadline: float = 2.0) -> dict[str, str]:
    """target -> the reading, or why there is none; targets are HOST or HOST:PROGRAM."""
    def parsed(target: str) -> tuple[str, int | None]:
        host, _, program = target.partition(":")
        return host, int(program, 0) if program else None
    readings = await asyncio.gather(*(read(*parsed(t), sensor, deadline) for t in targets))
    return dict(zip(targets, readings))


if __name__ == "__main__":
    for target, reading in asyncio.run(poll(sys.argv[2:], sys.argv[1])).items():
        print(f"{target}: {reading}")
