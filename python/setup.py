# SPDX-License-Identifier: Apache-2.0
"""The parts of the build pyproject.toml cannot state: the cffi extension, and the version,
which is the header's."""
import sys
from pathlib import Path

from setuptools import setup

sys.path.insert(0, str(Path(__file__).resolve().parent))  # PEP 517 builds leave it out
import qel_build  # noqa: E402

setup(version=qel_build.version(), cffi_modules=["qel_build.py:pip_builder"])
