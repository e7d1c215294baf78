# The Debian package of the tool: set-hwaddr_<version>_<architecture>.deb with the
# tool, its manual page and its boot unit. The board library comes with the board.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME set-hwaddr)
set(CPACK_PACKAGE_CONTACT "set_hwaddr maintainers <root@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "gives eth0 the board's factory-assigned MAC address")
set(CPACK_PACKAGE_DESCRIPTION
    "At commissioning or first boot, set_hwaddr inserts a pre-up line that sets eth0's hardware address to the board's PCBA MAC into /etc/network/interfaces.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL tool)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
# The newest C library symbol version the tool uses is GLIBC_2.34.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34)")
if(CMAKE_CROSSCOMPILING)
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${DEBIAN_ARCHITECTURE})
endif()

include(CPack)
