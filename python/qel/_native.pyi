# SPDX-License-Identifier: Apache-2.0
# The extension cffi builds (qel_build.py): its declarations come from qel.h.
from typing import Any

ffi: Any
lib: Any
