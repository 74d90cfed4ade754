// SPDX-License-Identifier: Apache-2.0
// The public header's layout checked by the C++ compiler.
#include "layout_checks.h"
