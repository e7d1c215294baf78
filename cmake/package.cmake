# The Debian packages: set-hwaddr (the tool, its manual page and its boot unit)
# and, when the stand-in is built, libboardcfg-standin (the stand-in library
# alone). The board's own library comes with the board, in its own package.
set(SET_HWADDR_MAINTAINER "set_hwaddr developers <set-hwaddr@example.com>" CACHE STRING
    "The Maintainer of the Debian packages, as Name <address>")
set(BOARDCFG_PACKAGE "" CACHE STRING
    "The Debian package that brings the board's libboardcfg.so, for the tool's Depends")

set(toolPackage set-hwaddr)
set(standinPackage libboardcfg-standin)
set(packagingDir ${PROJECT_SOURCE_DIR}/packaging)

# debian_docs(PACKAGE COMPONENT): the copyright file and the changelog that every
# Debian package carries in /usr/share/doc/PACKAGE.
function(debian_docs package component)
    set(docs ${PROJECT_BINARY_DIR}/doc/${package})
    configure_file(${packagingDir}/changelog.in ${docs}/changelog @ONLY)
    gzip_file(${docs}/changelog)
    install(FILES ${packagingDir}/copyright ${docs}/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endfunction()

# gzip_file(FILE): FILE.gz beside it, made anew whenever FILE is.
function(gzip_file file)
    execute_process(COMMAND gzip -9nkf ${file} COMMAND_ERROR_IS_FATAL ANY)
endfunction()

configure_file(man/set_hwaddr.8 ${PROJECT_BINARY_DIR}/man/set_hwaddr.8 COPYONLY)
gzip_file(${PROJECT_BINARY_DIR}/man/set_hwaddr.8)
install(FILES ${PROJECT_BINARY_DIR}/man/set_hwaddr.8.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man8
        COMPONENT tool)
debian_docs(${toolPackage} tool)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_CONTACT ${SET_HWADDR_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
if(CMAKE_CROSSCOMPILING)
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${DEBIAN_ARCHITECTURE})
endif()

# The C library dependency is computed from the binaries. libboardcfg.so belongs
# to no Debian package dpkg knows of: dpkg-shlibdeps is shown where it lies and
# ignores it, and the package that brings it is named below instead.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(BOARDCFG_LIBRARY)
    get_filename_component(boardcfgDir ${BOARDCFG_LIBRARY} DIRECTORY)
    set(boardcfgDependency ${BOARDCFG_PACKAGE})
    if(NOT BOARDCFG_PACKAGE)
        message(NOTICE "BOARDCFG_PACKAGE is not set: the ${toolPackage} package will not "
                       "name the package that brings ${BOARDCFG_LIBRARY}")
    endif()
else()
    set(boardcfgDir ${PROJECT_BINARY_DIR}/boardcfg-standin)
    set(boardcfgDependency ${standinPackage})
endif()
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${boardcfgDir})

set(CPACK_COMPONENTS_ALL tool)
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME ${toolPackage})
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION admin)
set(CPACK_COMPONENT_TOOL_DESCRIPTION "gives eth0 the board's factory-assigned MAC address
At commissioning or first boot, set_hwaddr inserts into
/etc/network/interfaces a pre-up line that sets eth0's hardware address to
the board's PCBA MAC, read through the board library libboardcfg.so.
The boot unit set-hwaddr.service runs it before the interfaces come up.")
# The inserted line runs /sbin/ifconfig (net-tools); the maintainer scripts run
# deb-systemd-helper (init-system-helpers).
set(toolDepends "net-tools, init-system-helpers (>= 1.54~)")
if(boardcfgDependency)
    string(APPEND toolDepends ", ${boardcfgDependency}")
endif()
set(CPACK_DEBIAN_TOOL_PACKAGE_DEPENDS ${toolDepends})
set(CPACK_DEBIAN_TOOL_PACKAGE_CONTROL_EXTRA ${packagingDir}/postinst ${packagingDir}/postrm)
set(CPACK_DEBIAN_TOOL_PACKAGE_CONTROL_STRICT_PERMISSION ON)

if(NOT BOARDCFG_LIBRARY)
    debian_docs(${standinPackage} standin)
    list(APPEND CPACK_COMPONENTS_ALL standin)
    set(CPACK_DEBIAN_STANDIN_PACKAGE_NAME ${standinPackage})
    set(CPACK_DEBIAN_STANDIN_PACKAGE_SECTION libs)
    set(CPACK_COMPONENT_STANDIN_DESCRIPTION "stand-in for the board library libboardcfg.so
For development boards and virtual boards without the board's own library:
libboardcfg.so reads the commissioning record /etc/boardcfg/commissioning,
key=value lines, and delivers the value of its first pcba_mac line as the
PCBA MAC.")
    # ldconfig runs through the trigger; an unversioned SONAME has no shlibs entry.
    configure_file(${packagingDir}/standin-triggers ${PROJECT_BINARY_DIR}/standin/triggers COPYONLY)
    set(CPACK_DEBIAN_STANDIN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/standin/triggers)
    set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/standin-repack.cmake)
    install(FILES ${packagingDir}/standin-lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${standinPackage}
            COMPONENT standin)
endif()

include(CPack)
