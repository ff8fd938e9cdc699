# Cross build of the command line for 64-bit Windows with Debian's mingw-w64
# (the POSIX-threads flavour of GCC, for std::thread), run under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VARNEL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VARNEL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VARNEL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VARNEL_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VARNEL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ run-times linked in, so that the program and its DLL need
# nothing beside them. Windows 10 is the oldest system served.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# GCC cannot align the stack beyond 16 bytes on Windows, so a spilled 32- or
# 64-byte vector of the AVX paths would be moved with an aligned instruction
# to an unaligned slot: the assembler writes unaligned moves instead.
set(CMAKE_C_FLAGS_INIT "-D_WIN32_WINNT=0x0A00 -DUNICODE -D_UNICODE -Wa,-muse-unaligned-vector-move")
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=0x0A00 -DUNICODE -D_UNICODE -Wa,-muse-unaligned-vector-move")

# This GCC 12 warns falsely, with this target's library only, of overlapping
# copies inside std::string and of members of an optional read before they
# are set (they have initialisers): those two warnings are off here.
set(CMAKE_CXX_FLAGS_RELEASE_INIT "-Wno-restrict -Wno-maybe-uninitialized")

# Test programs and build-time tools run under wine, in a prefix of the build
# folder (made on the first run).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/windows/wine-run)
