# SPDX-License-Identifier: Apache-2.0
"""The parts of the build pyproject.toml cannot state: the cffi extension, built against the
installed library (qel_build.py), the version, which is the header's, and the wheel's tag."""
import sys
from pathlib import Path

from setuptools import setup

sys.path.insert(0, str(Path(__file__).resolve().parent))  # PEP 517 builds leave it out
import qel_build  # noqa: E402

# The extension keeps to Python's stable ABI (cffi defines Py_LIMITED_API): one wheel serves every
# Python from the oldest the package supports. It is linked anew every time: an earlier build left
# in the tree may be against another installed library.
setup(version=qel_build.version(), cffi_modules=["qel_build.py:pip_builder"],
      options={"bdist_wheel": {"py_limited_api": "cp310"}, "build_ext": {"force": True}})
