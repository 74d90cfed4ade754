# SPDX-License-Identifier: Apache-2.0
"""The parts of the build pyproject.toml cannot state: the cffi extension, and the version,
which is the header's."""
from setuptools import setup

import qel_build

setup(version=qel_build.version(), cffi_modules=["qel_build.py:pip_builder"])
