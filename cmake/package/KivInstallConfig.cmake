# find_package(KivInstall): kivpack for a CMake project that packs its
# Windows product into an installer.
#
#   KivInstall::kivpack            the imported executable
#   KIVINSTALL_VERSION             the release
#   kivinstall_add_setup(NAME SCRIPT <INSTALL.INI> OUTPUT <setup.exe>
#                        [DEPENDS <file or target>...] [OPTIONS <kivpack build option>...])
#                                  a target NAME, built with ALL, that packs
#                                  the product whenever the script, a file it
#                                  packs, a stub or a DEPENDS changes
#   include(KivInstallCPack)       the CPack route: `cpack -G External`
#                                  writes ${CPACK_PACKAGE_FILE_NAME}.exe
#                                  (its variables: KivInstallCPack.cmake)
#
# kivpack runs on the build machine: a project cross-compiled for Windows
# finds the package with find_package(KivInstall REQUIRED NO_CMAKE_FIND_ROOT_PATH)
# when its tool-chain file confines packages to the target's root. This file
# finds everything relative to itself, so an installation moved elsewhere
# still works.
get_filename_component(_kivinstall_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
set(KIVINSTALL_VERSION "${KivInstall_VERSION}")

if(NOT TARGET KivInstall::kivpack)
  set(_kivinstall_kivpack "${_kivinstall_prefix}/bin/kivpack")
  if(CMAKE_HOST_WIN32 OR NOT EXISTS "${_kivinstall_kivpack}")
    set(_kivinstall_kivpack "${_kivinstall_prefix}/bin/kivpack.exe")
  endif()
  if(NOT EXISTS "${_kivinstall_kivpack}")
    set(KivInstall_FOUND FALSE)
    set(KivInstall_NOT_FOUND_MESSAGE "kivpack is missing from ${_kivinstall_prefix}/bin")
    return()
  endif()
  add_executable(KivInstall::kivpack IMPORTED)
  set_target_properties(KivInstall::kivpack PROPERTIES IMPORTED_LOCATION "${_kivinstall_kivpack}")
endif()
set(KIVINSTALL_CPACK_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/KivInstallCPackExternal.cmake")
list(APPEND CMAKE_MODULE_PATH "${CMAKE_CURRENT_LIST_DIR}")

function(kivinstall_add_setup name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "SCRIPT;OUTPUT" "DEPENDS;OPTIONS")
  if(NOT arg_SCRIPT OR NOT arg_OUTPUT OR arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "kivinstall_add_setup(${name} SCRIPT <INSTALL.INI> OUTPUT <setup.exe> [DEPENDS ...] [OPTIONS ...])")
  endif()
  get_filename_component(script "${arg_SCRIPT}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
  get_filename_component(output "${arg_OUTPUT}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  # kivpack names every file it read in the depfile: the script, the help
  # file, each payload, the stubs; the build tool rebuilds when one changes.
  set(depfile "${CMAKE_CURRENT_BINARY_DIR}/${name}.kivpack.d")
  add_custom_command(OUTPUT "${output}"
      COMMAND KivInstall::kivpack build "${script}" -o "${output}" --depfile "${depfile}" ${arg_OPTIONS}
      DEPENDS "${script}" ${arg_DEPENDS}
      DEPFILE "${depfile}"
      COMMENT "Packing ${output}"
      VERBATIM)
  add_custom_target(${name} ALL DEPENDS "${output}")
endfunction()
