# Cross-compiling for 64-bit Windows from Debian with MinGW-w64.
# The static image libraries live in VISTREL_WINDOWS_DEPS (built by
# scripts/windows/build-libs.sh); test programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
# libpng enables its SSE code only for this processor name.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VISTREL_MINGW x86_64-w64-mingw32)

# The -posix compilers by name: the default -win32 thread model has no
# std::thread or std::mutex in Debian 12's libstdc++.
set(CMAKE_C_COMPILER ${VISTREL_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VISTREL_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${VISTREL_MINGW}-windres)
set(CMAKE_ASM_NASM_COMPILER nasm)

set(VISTREL_WINDOWS_DEPS "" CACHE PATH "Prefix of the cross-built static image libraries")
set(CMAKE_FIND_ROOT_PATH /usr/${VISTREL_MINGW} ${VISTREL_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# SSE2 doubles (the x86-64 default, stated so nothing switches to x87).
# GCC keeps the Windows stack only 16-byte aligned but may spill 32-byte AVX
# values with aligned moves; the assembler makes every vector move an
# unaligned one, so the AVX2 kernels chosen at run time cannot fault.
# And one self-contained .exe that imports only system DLLs.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -Wa,-muse-unaligned-vector-move")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -Wa,-muse-unaligned-vector-move")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# add_test runs the programs through Wine, by a launcher that tries again
# when Wine fails to start a process at all. The launcher runs the wine on
# PATH, so that is the one looked for.
find_program(VISTREL_WINE wine NO_CMAKE_FIND_ROOT_PATH)
if(VISTREL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/windows/wine-run.sh)
endif()
