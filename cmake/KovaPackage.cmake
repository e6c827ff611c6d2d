# The release package: exactly the program directory a user unpacks into the
# folder that holds their KOVA.EXE.
#
#   KOVACFG.EXE                 the configurator
#   PLUGIN\<plugin>.dll         every plugin, under their deliverable names
#   PLUGIN\PSEMU\               empty: hosted PSEmu Pro GPU plugins go here
#   BIOS\, MEMCARDS\            empty
#   README.TXT                  for users, CR LF line ends
#
# Nothing else: no KOVA.EXE (the stand-in is a developer's tool), no test
# plugin, no KOVA.INI (the first Save writes it). Everything is install
# component "program".
#
#   cmake --install build [--prefix <dir>]      the folder (default build/install)
#   cmake --build build --target package        build/package/KOVA-1.0-win32.zip

if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
    # The toolchain's default is a Windows path, meaningless on the build host.
    set(CMAKE_INSTALL_PREFIX ${CMAKE_BINARY_DIR}/install CACHE PATH "Install folder" FORCE)
endif()

get_property(_shipped GLOBAL PROPERTY KOVA_SHIPPED_TARGETS)
foreach(t IN LISTS _shipped)
    get_target_property(_type ${t} TYPE)
    get_target_property(_name ${t} OUTPUT_NAME)
    if(_type STREQUAL "SHARED_LIBRARY")
        install(FILES $<TARGET_FILE:${t}> DESTINATION PLUGIN COMPONENT program)
    else()
        # Programs as a Windows user knows them: KOVACFG.EXE.
        string(TOUPPER "${_name}.exe" _file)
        install(FILES $<TARGET_FILE:${t}> DESTINATION . RENAME ${_file} COMPONENT program)
    endif()
endforeach()

# The folders the configurator and the plugins look into, empty.
foreach(_dir PLUGIN/PSEMU BIOS MEMCARDS)
    install(DIRECTORY DESTINATION ${_dir} COMPONENT program)
endforeach()

# The text for users, written with the line ends its readers expect.
configure_file(${CMAKE_SOURCE_DIR}/release/README.TXT ${CMAKE_BINARY_DIR}/release/README.TXT
    @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/release/README.TXT DESTINATION . COMPONENT program)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME KOVA)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME "KOVA-${PROJECT_VERSION}-win32")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
# Unpacked straight into the user's KOVA folder: no folder of its own.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};KOVA;program;/")
set(CPACK_SOURCE_GENERATOR "")
# Where the package lands, for the test that unpacks it (before CPack, which
# changes the file name for its source package).
set(KOVA_RELEASE_ZIP ${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.zip)
include(CPack)
