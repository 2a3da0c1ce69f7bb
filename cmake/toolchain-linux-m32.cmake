# Native 32-bit x86 Linux build: the host's exact 32-bit layout, with the
# Linux tools (sanitizers aside) at hand.
set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
