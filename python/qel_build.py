# SPDX-License-Identifier: Apache-2.0
"""Builds the extension qel._native from include/qel.h itself.

The declarations handed to cffi are read out of the header (its result codes, version, no-reading
value, caller-side records and operations), and the generated C includes the same header, so the
compiler checks every declaration against it. Used two ways:

- CMake: ``python3 qel_build.py HEADER DIRECTORY`` writes the C source, which CMake compiles,
  and the distribution's metadata from pyproject.toml (for pytest, the plugin's entry point).
- pip/setuptools: ``cffi_modules=["qel_build.py:pip_builder"]`` (see setup.py).
"""
from __future__ import annotations

import os
import re
import subprocess
import sys
from pathlib import Path
from typing import Any

import cffi

HERE = Path(__file__).resolve().parent


def declarations(header: str) -> str:
    """The part of the header the binding uses, in cffi's dialect of C."""
    text = re.sub(r"/\*.*?\*/", "", header, flags=re.S)
    integers = re.findall(r"^#define ((?:RESULT|QEL_VERSION)_\w+) ", text, flags=re.M)
    parts = [f"#define {name} ..." for name in integers]
    parts.append("static const float QEL_NO_READING;")
    # Wire records (rpc_*) belong to the stubs and codecs, which the binding does not call.
    for record in re.finditer(r"^typedef struct (\w+) \{.*?^\} \1;", text, flags=re.M | re.S):
        if not record.group(1).startswith("rpc_"):
            parts.append(record.group(0))
    for operation in re.finditer(r"^QEL_API ([^;(]*\bqel[A-Z]\w*\([^)]*\));", text, flags=re.M):
        if "CLIENT" not in operation.group(1):
            parts.append(operation.group(1) + ";")
    parts.append("void free(void *);")
    return "\n".join(parts)


def builder(header: Path, include_dirs: list[str], **build: Any) -> cffi.FFI:
    ffi = cffi.FFI()
    ffi.cdef(declarations(header.read_text()))
    ffi.set_source("qel._native", '#include <stdlib.h>\n#include "qel.h"',
                   include_dirs=[str(header.parent), *include_dirs], **build)
    return ffi


def pkg_config(*args: str) -> list[str]:
    return subprocess.run(["pkg-config", *args], check=True, capture_output=True,
                          text=True).stdout.split()


def installed() -> tuple[Path, Path, list[str]]:
    """The header, library directory and run path to build with: those of a CMake build tree of
    this checkout (QEL_BUILD_DIR, else build/default), or else of the installed libqel-dev that
    pkg-config finds."""
    tree = Path(os.environ.get("QEL_BUILD_DIR", HERE.parent / "build" / "default"))
    if (tree / "libqel.so").exists():
        return HERE.parent / "include" / "qel.h", tree, [str(tree)]
    header = Path(pkg_config("--variable=includedir", "qel")[0]) / "qel.h"
    return header, Path(pkg_config("--variable=libdir", "qel")[0]), []


def version(header: Path | None = None) -> str:
    text = (header or installed()[0]).read_text()
    parts = (re.search(rf"^#define QEL_VERSION_{part} (\d+)", text, flags=re.M)
             for part in ("MAJOR", "MINOR", "PATCH"))
    return ".".join(part.group(1) for part in parts if part)


def pip_builder() -> cffi.FFI:
    header, libdir, rpath = installed()
    # The connection lock that the library leaves to its host comes with the extension, whole:
    # nothing in the extension itself refers to it.
    lock = ["-Wl,--whole-archive", str(libdir / "libqel_host.a"), "-Wl,--no-whole-archive"]
    tirpc = [flag[2:] for flag in pkg_config("--cflags-only-I", "libtirpc")]
    return builder(header, tirpc, library_dirs=[str(libdir)], runtime_library_dirs=rpath,
                   libraries=["qel"], extra_link_args=lock)


def write_dist_info(header: Path, directory: Path) -> None:
    """The metadata pip would install, for a tree that CMake builds."""
    import tomllib  # Python 3.11, as CMake's builds use; pip's builds never come here
    project = tomllib.loads((HERE / "pyproject.toml").read_text())["project"]
    info = directory / f"{project['name']}-{version(header)}.dist-info"
    info.mkdir(parents=True, exist_ok=True)
    (info / "METADATA").write_text(
        f"Metadata-Version: 2.1\nName: {project['name']}\nVersion: {version(header)}\n"
        f"Summary: {project['description']}\n")
    points = project.get("entry-points", {})
    (info / "entry_points.txt").write_text("".join(
        f"[{group}]\n" + "".join(f"{k} = {v}\n" for k, v in entries.items())
        for group, entries in points.items()))


if __name__ == "__main__":
    header, out = Path(sys.argv[1]), Path(sys.argv[2])
    builder(header, []).emit_c_code(str(out / "_native.c"))
    (out / "_native.c").touch()  # cffi leaves an unchanged file as it was
    write_dist_info(header, out)
