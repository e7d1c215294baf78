# The presets build with the flags dpkg-buildflags gives the Debian package, with
# the package's own options from debian/rules, so that what the tests run is built
# as the package is. Under dpkg-buildpackage they come from its environment.
set(DEBIAN_BUILDFLAGS OFF CACHE BOOL "Build with dpkg-buildflags' flags, as the package is")

# debian_buildflag(VARIABLE FLAG): the value of FLAG (CXXFLAGS, LDFLAGS...) for the
# architecture being built, in VARIABLE.
function(debian_buildflag variable flag)
    set(architecture "")
    if(DEFINED DEBIAN_ARCHITECTURE)
        set(architecture DEB_HOST_ARCH=${DEBIAN_ARCHITECTURE})
    endif()
    # The file-prefix map is made from the folder it runs in: the source tree.
    execute_process(COMMAND env "DEB_BUILD_MAINT_OPTIONS=${maintOptions}" ${architecture}
                            dpkg-buildflags --get ${flag}
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE value OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    set(${variable} ${value} PARENT_SCOPE)
endfunction()

if(DEBIAN_BUILDFLAGS)
    file(STRINGS ${PROJECT_SOURCE_DIR}/debian/rules maintOptions
         REGEX "^export DEB_BUILD_MAINT_OPTIONS = ")
    string(REPLACE "export DEB_BUILD_MAINT_OPTIONS = " "" maintOptions "${maintOptions}")
    debian_buildflag(cppflags CPPFLAGS)
    debian_buildflag(cxxflags CXXFLAGS)
    debian_buildflag(ldflags LDFLAGS)
    string(APPEND CMAKE_CXX_FLAGS " ${cppflags} ${cxxflags}")
    string(APPEND CMAKE_EXE_LINKER_FLAGS " ${ldflags}")
    string(APPEND CMAKE_SHARED_LINKER_FLAGS " ${ldflags}")
endif()
