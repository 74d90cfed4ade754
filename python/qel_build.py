# SPDX-License-Identifier: Apache-2.0
"""Builds the extension qel._native from include/qel.h itself.

The declarations handed to cffi are read out of the header (its result codes, version, no-reading
value, caller-side records and operations), and the generated C includes the same header, so the
compiler checks every declaration against it. Each remote operation also gets a twin that takes
a session first (native/session.h): it runs the operation on that session's connection. Used two
ways:

- CMake: ``python3 qel_build.py HEADER DIRECTORY`` writes the C source, which CMake compiles
  with native/session.c (``--default-program HEADER`` gives the define that needs), and the
  distribution's metadata from pyproject.toml (for pytest, the plugin's entry point).
- pip/setuptools: ``cffi_modules=["qel_build.py:pip_builder"]`` (see setup.py), against the
  installed library that pkg-config finds.
"""
from __future__ import annotations

import os
import re
import subprocess
import sys
from pathlib import Path
from typing import Any, NamedTuple

import cffi

HERE = Path(__file__).resolve().parent
NATIVE = HERE / "native"
# Operations about the connection itself, which the sessions run.
CONNECTION = {"qelConnect", "qelDisconnect", "qelDisconnectConnection"}


class Operation(NamedTuple):
    result: str  # the C type returned
    name: str
    parameters: list[tuple[str, str]]  # (C type, name)


def _uncommented(header: str) -> str:
    return re.sub(r"/\*.*?\*/", "", header, flags=re.S)


def operations(header: str) -> list[Operation]:
    """Every qel* operation of the header that takes no handle."""
    found = []
    for match in re.finditer(r"^QEL_API ([^;(]*?)\s*\b(qel[A-Z]\w*)\(([^)]*)\);",
                             _uncommented(header), flags=re.M):
        result, name, text = match.groups()
        if "CLIENT" in text or name in CONNECTION:
            continue
        parameters = []
        for parameter in " ".join(text.split()).split(", "):
            if parameter != "void":
                kind, parameter_name = re.fullmatch(r"(.*?)\s*(\w+)", parameter).groups()
                parameters.append((kind, parameter_name))
        found.append(Operation(" ".join(result.split()), name, parameters))
    return found


def default_program(header: str) -> str:
    """The library's default program number, as the header states it."""
    match = re.search(r"\(default (0x[0-9A-Fa-f]+)\)", header)
    if not match:
        raise SystemExit("qel_build.py: qel.h does not state the default program number")
    return match.group(1)


def session_declarations() -> str:
    """native/session.h in cffi's dialect: its functions and its QELPY_* numbers."""
    lines = _uncommented((NATIVE / "session.h").read_text()).splitlines()
    kept = [line for line in lines if not line.startswith("#") or line.startswith("#define QELPY_")]
    return "\n".join(line for line in kept if line.strip() not in ('extern "C" {', "}"))


def twin(operation: Operation, body: bool) -> str:
    """The operation on a session: its prototype, or its definition."""
    parameters = ", ".join(["qelpy_session *session"] +
                           [f"{kind} {name}" for kind, name in operation.parameters])
    prototype = f"{operation.result} qelpy_{operation.name}({parameters})"
    if not body:
        return prototype + ";"
    # What the call's outcome is judged by: the result code, where the operation returns one.
    outcome = {"unsigned int": "result",
               "char *": "result != NULL ? RESULT_OK : RESULT_CALL_FAILED"}
    failed = "qelpy_result(session)" if operation.result == "unsigned int" else "0"
    arguments = ", ".join(name for _, name in operation.parameters)
    return (f"static {prototype} {{\n"
            f"  if (!qelpy_enter(session)) return {failed};\n"
            f"  {operation.result} result = {operation.name}({arguments});\n"
            f"  qelpy_leave(session, {outcome.get(operation.result, 'RESULT_OK')});\n"
            f"  return result;\n}}\n")


def declarations(header: str) -> str:
    """The part of the header the binding uses, in cffi's dialect of C, and the sessions."""
    text = _uncommented(header)
    integers = re.findall(r"^#define ((?:RESULT|QEL_VERSION)_\w+) ", text, flags=re.M)
    parts = [f"#define {name} ..." for name in integers]
    parts.append("static const float QEL_NO_READING;")
    # Wire records (rpc_*) belong to the stubs and codecs, which the binding does not call.
    for record in re.finditer(r"^typedef struct (\w+) \{.*?^\} \1;", text, flags=re.M | re.S):
        if not record.group(1).startswith("rpc_"):
            parts.append(record.group(0))
    parts.append("#define QELPY_DEFAULT_PROGRAM ...")
    parts.append(session_declarations())
    for operation in operations(header):
        parameters = ", ".join(f"{k} {n}" for k, n in operation.parameters) or "void"
        parts.append(f"{operation.result} {operation.name}({parameters});")
        parts.append(twin(operation, body=False))
    parts.append("void free(void *);")
    return "\n".join(parts)


def builder(header: Path, include_dirs: list[str], **build: Any) -> cffi.FFI:
    ffi = cffi.FFI()
    text = header.read_text()
    ffi.cdef(declarations(text))
    twins = "\n".join(twin(operation, body=True) for operation in operations(text))
    headers = '#include <stdlib.h>\n#include "qel.h"\n#include "session.h"\n'
    ffi.set_source("qel._native", f"{headers}\n{twins}",
                   include_dirs=[str(header.parent), str(NATIVE), *include_dirs],
                   sources=["native/session.c"],  # setuptools takes only relative paths
                   define_macros=[("QELPY_DEFAULT_PROGRAM", default_program(text) + "ul")],
                   **build)
    return ffi


def pkg_config(*args: str) -> list[str]:
    try:
        return subprocess.run(["pkg-config", *args, "qel"], check=True, capture_output=True,
                              text=True).stdout.split()
    except (OSError, subprocess.CalledProcessError) as error:
        raise SystemExit(
            "qel_build.py: pkg-config finds no installed libqel. Build and install the library "
            "first (cmake --preset python && cmake --build --preset python && cmake --install "
            "build/python, or the Debian package libqel-dev); for another prefix, point "
            f"PKG_CONFIG_PATH at its lib/pkgconfig ({error})") from error


# Directories the dynamic linker searches anyway: no run path for them.
SYSTEM_LIBRARY_DIRS = {"/lib", "/usr/lib", "/lib64", "/usr/lib64"}


def version(header: Path | None = None) -> str:
    text = (header or Path(pkg_config("--variable=includedir")[0]) / "qel.h").read_text()
    parts = (re.search(rf"^#define QEL_VERSION_{part} (\d+)", text, flags=re.M)
             for part in ("MAJOR", "MINOR", "PATCH"))
    return ".".join(part.group(1) for part in parts if part)


def pip_builder() -> cffi.FFI:
    """Against the installed library: linked by its soname, found at run time from its own
    prefix (as the run path) or, in a system directory, by the dynamic linker alone."""
    header = Path(pkg_config("--variable=includedir")[0]) / "qel.h"
    libdir = os.path.normpath(pkg_config("--variable=libdir")[0])
    system = libdir in SYSTEM_LIBRARY_DIRS or re.fullmatch(r"/(usr/)?lib/[\w-]+-linux-gnu\w*",
                                                           libdir)
    # The connection lock that the library leaves to its host comes with the extension, whole:
    # nothing in the extension itself refers to it.
    lock = ["-Wl,--whole-archive", f"{libdir}/libqel_host.a", "-Wl,--no-whole-archive"]
    flags = [flag[2:] for flag in pkg_config("--cflags-only-I")]
    return builder(header, flags, library_dirs=[libdir],
                   runtime_library_dirs=[] if system else [libdir], libraries=["qel"],
                   extra_link_args=lock)


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
    if sys.argv[1] == "--default-program":  # for CMake, which compiles native/session.c itself
        print(default_program(Path(sys.argv[2]).read_text()) + "ul")
        sys.exit(0)
    header, out = Path(sys.argv[1]), Path(sys.argv[2])
    builder(header, []).emit_c_code(str(out / "_native.c"))
    (out / "_native.c").touch()  # cffi leaves an unchanged file as it was
    write_dist_info(header, out)
