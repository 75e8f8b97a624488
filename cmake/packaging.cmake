# What an installation of KivInstall holds, relative to its prefix, so that a
# copy of the whole prefix works anywhere:
#
#   bin/kivpack (kivpack.exe)           the build tool, optimised and stripped
#   share/kivinstall/                   what kivpack packs and runs: the stubs,
#                                       and in try/ what `kivpack try` runs
#                                       (not in the ZIP)
#   share/man/man1/kivpack.1.gz         the manual pages (not in the ZIP)
#   share/man/man5/kivinstall.ini.5.gz
#   share/doc/kivinstall/               README, the script reference, the
#                                       examples, copyright, changelog
#   lib/cmake/KivInstall/               find_package(KivInstall), the CPack
#                                       route and the MinGW tool-chain file
#
# cmake --install and cpack see the same rules: DEB from the native build,
# ZIP from kivpack.exe's (the kivpack-win32 preset). The stubs come from the
# win32 build (KIV_WIN32_BUILD_DIR), the demo's help file from the native one.
set(KIV_SHARE_DIR share/kivinstall)
set(KIV_DOC_DIR share/doc/kivinstall)
set(KIV_CMAKE_DIR lib/cmake/KivInstall)
set(KIV_WIN32_BUILD_DIR "" CACHE PATH "The win32 preset's build folder, whose stubs are installed")
set(KIV_HOST_BUILD_DIR "${PROJECT_BINARY_DIR}" CACHE PATH "The native build folder, whose demo help file is installed")

install(TARGETS kivpack RUNTIME DESTINATION bin)
if(NOT KIV_KIVPACK_EXE)
  # The native build keeps its debug information for the tests; what it
  # installs has none.
  install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded --remove-section=.comment
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/$<TARGET_FILE_NAME:kivpack>\" RESULT_VARIABLE kiv_strip)
    if(kiv_strip)
      message(FATAL_ERROR \"strip failed on bin/$<TARGET_FILE_NAME:kivpack>\")
    endif()")
endif()
install(FILES ${KIV_WIN32_BUILD_DIR}/kivinstall.exe ${KIV_WIN32_BUILD_DIR}/kivuninst.exe
    DESTINATION ${KIV_SHARE_DIR})
if(NOT KIV_KIVPACK_EXE)
  # What `kivpack try` runs (on Linux only): the harness, which the
  # end-to-end suites share, the dialog driver and the uninstall-entry starter.
  install(FILES ${PROJECT_SOURCE_DIR}/tools/kivpack/try/kivtry.sh ${PROJECT_SOURCE_DIR}/tools/kivpack/try/lib_prefix.sh
      ${PROJECT_SOURCE_DIR}/tools/kivpack/try/lib_system.sh ${KIV_WIN32_BUILD_DIR}/e2e/kivdriver.exe
      ${KIV_WIN32_BUILD_DIR}/e2e/kiventry.exe DESTINATION ${KIV_SHARE_DIR}/try)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/script-reference.md
    ${PROJECT_SOURCE_DIR}/cmake/package/copyright DESTINATION ${KIV_DOC_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/images/demo-steps.png DESTINATION ${KIV_DOC_DIR}/docs/images)
# The demo as a product ready to pack: its script, readme, help file and
# program, and the sources of the last two.
install(FILES ${PROJECT_SOURCE_DIR}/examples/demo/INSTALL.INI ${PROJECT_SOURCE_DIR}/examples/demo/README.TXT
    ${PROJECT_SOURCE_DIR}/examples/demo/demo-help.txt ${PROJECT_SOURCE_DIR}/examples/demo/kivdemo.cpp
    ${KIV_HOST_BUILD_DIR}/demo/DEMO.HLP DESTINATION ${KIV_DOC_DIR}/examples/demo)
install(FILES ${KIV_WIN32_BUILD_DIR}/demo/KIVDEMO.exe DESTINATION ${KIV_DOC_DIR}/examples/demo RENAME KIVDEMO.EXE)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/cmake-project DESTINATION ${KIV_DOC_DIR}/examples)

include(CMakePackageConfigHelpers)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KivInstallConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion ARCH_INDEPENDENT)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/package/KivInstallConfig.cmake
    ${PROJECT_SOURCE_DIR}/cmake/package/KivInstallCPack.cmake
    ${PROJECT_SOURCE_DIR}/cmake/package/KivInstallCPackExternal.cmake
    ${PROJECT_SOURCE_DIR}/cmake/mingw-i686.cmake
    ${PROJECT_BINARY_DIR}/KivInstallConfigVersion.cmake DESTINATION ${KIV_CMAKE_DIR})

set(CPACK_PACKAGE_NAME kivinstall)
set(CPACK_PACKAGE_VENDOR KivInstall)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "installer engine for 32-bit Windows, and its build tool")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
if(KIV_KIVPACK_EXE)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME kivinstall-${PROJECT_VERSION}-win32)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  # Only the compressed changelog that Debian asks for, beside the copyright.
  set(KIV_CHANGELOG ${PROJECT_BINARY_DIR}/package/changelog.gz)
  add_custom_command(OUTPUT ${KIV_CHANGELOG}
      COMMAND ${CMAKE_COMMAND} -DVERSION=${PROJECT_VERSION} -DINPUT=${PROJECT_SOURCE_DIR}/cmake/package/changelog
          -DOUTPUT=${KIV_CHANGELOG} -P ${PROJECT_SOURCE_DIR}/cmake/package/gzip.cmake
      DEPENDS ${PROJECT_SOURCE_DIR}/cmake/package/changelog ${PROJECT_SOURCE_DIR}/cmake/package/gzip.cmake)
  add_custom_target(package_changelog ALL DEPENDS ${KIV_CHANGELOG})
  install(FILES ${KIV_CHANGELOG} DESTINATION ${KIV_DOC_DIR})

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "KivInstall developers <kivinstall@example.org>")
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Depends from the libraries that bin/kivpack links (dpkg-shlibdeps).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # kivpack packs and checks without them; Wine runs what it packs, the
  # signing tool signs it, CMake uses the package's CMake files.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "wine")
  # kivpack try: the virtual display, and the pictures of --shots.
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "osslsigncode, cmake, xvfb, imagemagick")
  # CPack puts the summary in front as the first line.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "KivInstall makes Windows installers on Linux. kivpack checks an
install script (INI text) as the installer will read it and packs the
product's files, SZDD-compressed, into one setup.exe: a small Win32
installer without runtime that runs on Windows 95 through 11, with an
uninstaller made from the same script. kivpack also lays out disk sets,
lists and extracts packed installers and compiles WinHelp files. A CMake
package lets a project cross-compiled with MinGW get its installer from
cpack.")
  set(CPACK_STRIP_FILES ON)
endif()
include(CPack)
