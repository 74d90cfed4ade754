# SPDX-License-Identifier: Apache-2.0
# 32-bit x86 with the host compiler's multilib support and Debian's i386 multiarch libraries
# (g++-<version>-multilib, libtirpc-dev:i386, libgtest-dev:i386). The programs run natively
# where the kernel runs 32-bit x86 programs, else under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT -m32)
endforeach()

# The kernel's x86 headers serve both widths, but -m32 finds them only through the /usr/include/asm
# link of Debian's gcc-multilib package, which cannot be installed beside a cross compiler (the
# armhf build needs one). Without that link, the build directory provides it.
if(NOT EXISTS /usr/include/asm AND EXISTS /usr/include/x86_64-linux-gnu/asm)
  set(QEL_I386_INCLUDE ${CMAKE_BINARY_DIR}/i386-include)
  file(MAKE_DIRECTORY ${QEL_I386_INCLUDE})
  file(CREATE_LINK /usr/include/x86_64-linux-gnu/asm ${QEL_I386_INCLUDE}/asm SYMBOLIC)
  string(APPEND CMAKE_C_FLAGS_INIT " -isystem ${QEL_I386_INCLUDE}")
  string(APPEND CMAKE_CXX_FLAGS_INIT " -isystem ${QEL_I386_INCLUDE}")
endif()

# Some kernels (virtual machines built without 32-bit emulation among them) refuse 32-bit x86
# programs; the i386 loader answers that question.
execute_process(COMMAND /lib/ld-linux.so.2 --version RESULT_VARIABLE QEL_I386_NATIVE
  OUTPUT_QUIET ERROR_QUIET)
if(NOT QEL_I386_NATIVE EQUAL 0)
  set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386)
endif()

# Only the i386 .pc files, so libtirpc resolves to the 32-bit library.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
