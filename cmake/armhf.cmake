# The board: 32-bit ARMv7-A, hard-float calling convention, with Debian's cross
# toolchain; programs run here under qemu-user with the cross libc as their root.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv7l)

set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
set(CMAKE_CXX_FLAGS_INIT "-march=armv7-a -mfloat-abi=hard -mfpu=vfpv3-d16")
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)

set(armhfSysroot /usr/arm-linux-gnueabihf)
set(CMAKE_FIND_ROOT_PATH ${armhfSysroot})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L ${armhfSysroot})
set(DEBIAN_ARCHITECTURE armhf)
