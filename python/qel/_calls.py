# SPDX-License-Identifier: Apache-2.0
"""The shapes every operation of the binding takes: a status, values written through pointers,
texts handed over by the library, and records. Texts cross as UTF-8; bytes that are not UTF-8
come back as lone surrogates (U+DC80 to U+DCFF, Python's "surrogateescape") and go out again as
the same bytes. Every heap text or block the library hands over is freed here, also when the
operation failed, so nothing is left to the caller."""
from __future__ import annotations

import dataclasses
import re
from typing import Any, Callable, TypeVar

from ._native import ffi, lib
from .errors import check

Operation = Callable[..., int]
Record = TypeVar("Record")


def text_in(text: str | None) -> Any:
    """A text for the library; None is NULL."""
    return ffi.NULL if text is None else text.encode("utf-8", "surrogateescape")


def take_text(pointer: Any) -> str | None:
    """Decodes and frees a heap text of the library; NULL is None."""
    if pointer == ffi.NULL:
        return None
    try:
        decoded: str = ffi.string(pointer).decode("utf-8", "surrogateescape")
        return decoded
    finally:
        lib.free(pointer)


def take_block(pointer: Any, size: int) -> bytes | None:
    """Copies and frees a heap block of the library; NULL is None."""
    if pointer == ffi.NULL:
        return None
    try:
        copied: bytes = ffi.buffer(pointer, size)[:]
        return copied
    finally:
        lib.free(pointer)


def status(operation: Operation, *args: Any) -> None:
    check(operation(*args), operation.__name__)


def outputs(operation: Operation, ctypes: tuple[str, ...], *args: Any) -> list[Any]:
    """Calls with one output pointer per C type after args; returns the pointers."""
    pointers = [ffi.new(ctype) for ctype in ctypes]
    check(operation(*args, *pointers), operation.__name__)
    return pointers


def value(operation: Operation, ctype: str, *args: Any) -> Any:
    """The one value an operation writes through its last pointer (ctype "int *")."""
    out = ffi.new(ctype)
    check(operation(*args, out), operation.__name__)
    return out[0]


def text(operation: Operation, *args: Any) -> str:
    """The heap text an operation hands over through its last pointer."""
    out = ffi.new("char **")
    code = operation(*args, out)
    taken = take_text(out[0])
    check(code, operation.__name__)
    return taken if taken is not None else ""


def _snake(name: str) -> str:
    return re.sub(r"([A-Z])", r"_\1", name).lower()


def _python_value(field: Any) -> Any:
    kind = ffi.typeof(field).kind if isinstance(field, ffi.CData) else None
    if kind != "array":
        return field
    if ffi.typeof(field).item.cname == "char":
        return ffi.string(field).decode("utf-8", "surrogateescape")
    return list(field)


def record(cls: type[Record], ctype: str, operation: Operation, *args: Any) -> Record:
    """A caller-side C record written by an operation, as the dataclass whose fields are the
    record's in snake_case: texts decoded, arrays as lists."""
    out = ffi.new(ctype + " *")
    check(operation(*args, out), operation.__name__)
    names = [name for name, _ in ffi.typeof(out).item.fields]
    return cls(**{_snake(name): _python_value(getattr(out, name)) for name in names})


def c_record(ctype: str, data: Any) -> Any:
    """A dataclass as the caller-side C record of the same fields."""
    fields = dataclasses.asdict(data)
    names = [name for name, _ in ffi.typeof(ctype + " *").item.fields]
    return ffi.new(ctype + " *", {name: fields[_snake(name)] for name in names})
