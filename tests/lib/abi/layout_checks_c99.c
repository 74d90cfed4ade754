// SPDX-License-Identifier: Apache-2.0
/* The public header's layout checked by a strict C99 compiler. */
#include "layout_checks.h"
