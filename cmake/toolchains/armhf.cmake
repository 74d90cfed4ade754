# SPDX-License-Identifier: Apache-2.0
# 32-bit ARM (hard-float) with Debian's cross compiler and armhf multiarch libraries
# (crossbuild-essential-armhf, libtirpc-dev:armhf, libgtest-dev:armhf, libstdc++6:armhf).
# Tests run under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)

set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
# No -L /usr/arm-linux-gnueabihf: the cross compiler's own C library there is another build than
# the armhf libc6 that libtirpc comes with, and a loader of one with the C library of the other
# crashes in pthread_create. The multiarch loader and libraries of the host serve every program.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm)

set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/arm-linux-gnueabihf/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
