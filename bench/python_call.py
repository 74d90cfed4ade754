#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""The benchmark's Python rows: client.platform.get_state() on a qel.Client, and
qel.platform.get_state() on the default client, against the same call made from C
(qelPlatformGetState in a C loop, compiled here with cffi), in one process, on the same thread,
against qel-simd, with client and server pinned to CPU 0. The three take turns round by round as
in bench/rounds.hpp, and the ratios and Python's own cost per call are taken per round. Rows in
the columns of qel_bench's table.

    bench/python_call.py BUILD_DIR [--quick]   (qel-simd from PATH, qel from PYTHONPATH)
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import cffi

import qel
from qel.sim import Simulator

LINE = "{:<50} {:<9} {:<8} {:>10} {:>10} {:>10} {:>7}  {}"
C_LOOP = """
#include "qel.h"
static int c_calls(long count) {
  int state = 0;
  for (long i = 0; i < count; ++i) {
    if (qelPlatformGetState(&state) != RESULT_OK) return 0;
  }
  return 1;
}
"""


def c_loop(build: Path, scratch: str):
    """qelPlatformGetState in a loop of C; loaded after qel, whose extension brings the lock."""
    ffi = cffi.FFI()
    ffi.cdef("int c_calls(long count);")
    tirpc = subprocess.run(["pkg-config", "--cflags-only-I", "libtirpc"], capture_output=True,
                           text=True, check=True).stdout.split()
    ffi.set_source("_qel_bench_loop", C_LOOP,
                   include_dirs=[str(Path(__file__).resolve().parents[1] / "include"),
                                 *(flag[2:] for flag in tirpc)],
                   library_dirs=[str(build)], runtime_library_dirs=[str(build)],
                   libraries=["qel"], extra_compile_args=["-O2"])
    sys.path.insert(0, scratch)
    ffi.compile(tmpdir=scratch)
    import _qel_bench_loop
    return lambda count: _qel_bench_loop.lib.c_calls(count) == 1


def python_calls(count: int) -> bool:
    for _ in range(count):
        qel.platform.get_state()
    return True


def client_calls(client: qel.Client):
    def calls(count: int) -> bool:
        get_state = client.platform.get_state
        for _ in range(count):
            get_state()
        return True
    return calls


def pin(pid: int, cpu: int) -> None:
    for task in os.listdir(f"/proc/{pid}/task"):
        os.sched_setaffinity(int(task), {cpu})


def interleave(contenders, rounds: int, round_seconds: float):
    """Per contender and round: microseconds per call, and the calling thread's processor time
    per call in microseconds (what the client itself spends, whatever else the CPU runs). The
    order rotates every round."""
    count = 1
    while True:  # calls of the first contender that fill about a round
        start = time.perf_counter()
        contenders[0](count)
        took = time.perf_counter() - start
        if took >= round_seconds / 4:
            count = max(1, int(count * round_seconds / took))
            break
        count *= 2
    wall: list[list[float]] = [[] for _ in contenders]
    cpu: list[list[float]] = [[] for _ in contenders]
    for round_ in range(rounds):
        for k in range(len(contenders)):
            i = (k + round_) % len(contenders)
            start, start_cpu = time.perf_counter(), time.thread_time()
            if not contenders[i](count):
                raise SystemExit("bench/python_call.py: a call failed")
            cpu[i].append((time.thread_time() - start_cpu) * 1e6 / count)
            wall[i].append((time.perf_counter() - start) * 1e6 / count)
    return wall, cpu


def row(what: str, samples: list[float], decimals: int, at_most: float = 0) -> None:
    low, median, high = min(samples), statistics.median(samples), max(samples)
    spread = (high - low) / abs(median) if median else 0
    verdict = ""
    if spread > 0.10:
        verdict = "UNSTABLE"
    elif at_most:
        verdict = f"<= {at_most:.2f} " + ("met" if median <= at_most else "NOT met")
    print(LINE.format(what, "one core", "qel-simd", f"{low:.{decimals}f}",
                      f"{median:.{decimals}f}", f"{high:.{decimals}f}", f"{100 * spread:.1f}%",
                      verdict))


def main() -> None:
    build, quick = Path(sys.argv[1]).resolve(), "--quick" in sys.argv
    rounds, round_seconds = (5, 0.01) if quick else (20, 0.05)
    with tempfile.TemporaryDirectory() as scratch, Simulator(log_level=0) as sim:
        pin(os.getpid(), 0)
        pin(sim.pid, 0)
        qel.connect(program=sim.program)
        client = qel.Client(program=sim.program)
        from_c = c_loop(build, scratch)
        (client_wall, python, c), (client_cpu, python_cpu, c_cpu) = interleave(
            [client_calls(client), python_calls, from_c], rounds, round_seconds)
    print(f"\n{rounds} rounds of about {round_seconds * 1000:g} ms per row; "
          "spread = (max - min) / median")
    print(LINE.format("row", "placement", "server", "min", "median", "max", "spread", "verdict"))
    print("\nPython: client.platform.get_state() and qel.platform.get_state() against "
          "qelPlatformGetState from C, one process")
    row("small call from Python, qel.Client, us", client_wall, 2)
    row("small call from Python, default client, us", python, 2)
    row("small call from C, same thread, us", c, 2)
    row("  ratio qel.Client / C", [p / q for p, q in zip(client_wall, c)], 3, at_most=1.5)
    row("  ratio default client / C", [p / q for p, q in zip(python, c)], 3, at_most=1.5)
    row("client CPU per call from Python, qel.Client, us", client_cpu, 2)
    row("client CPU per call from C, us", c_cpu, 2)
    row("  Python's own cost per call (CPU), us", [p - q for p, q in zip(client_cpu, c_cpu)], 2)


if __name__ == "__main__":
    main()
