# include(KivInstallCPack), after find_package(KivInstall) and before
# include(CPack): `cpack -G External` stages the project's installation and
# packs it with kivpack into ${CPACK_PACKAGE_FILE_NAME}.exe, an installer
# for Windows with an uninstaller.
#
# The install script is made from CPack's variables and the staged files
# (kivpack script):
#   CPACK_PACKAGE_NAME               the product's name, its group's name
#   CPACK_PACKAGE_VERSION            its version (with the name: the uninstall entry)
#   CPACK_PACKAGE_INSTALL_DIRECTORY  the target directory below C:\Program Files\
#                                    (a path with a drive letter is taken as it is)
#   CPACK_PACKAGE_EXECUTABLES        pairs of program and label: the group's
#                                    items; the first is offered to start at the end.
#                                    A program without ".exe" gets it, and is looked
#                                    for in CPACK_KIVINSTALL_EXECUTABLES_DIRECTORY
#                                    (default bin) of the installation
#   CPACK_RESOURCE_FILE_README,
#   CPACK_RESOURCE_FILE_LICENSE      the text of the help file's readme topic,
#                                    which "View readme file" shows
# Every staged file goes into the target directory under its path below the
# installation, every folder is listed in [Target Subdirectories], parents
# first, and the files take as many disk sections as their names need. A
# staged name that cannot be installed (more than 255 characters, a name
# Windows refuses, two names that differ only in letter case) stops cpack
# with a message that names it.
#
# Or the project's own script:
#   CPACK_KIVINSTALL_SCRIPT          an install script, used as it is: its
#                                    files, help file included, are taken from
#                                    the staged installation (a source name may
#                                    be a path there, BIN\APP.EXE)
#   CPACK_KIVINSTALL_BUILD_OPTIONS   further options of kivpack build
#                                    (--date, --icon, --strict, --stub, ...)
# kivpack itself: KivInstall::kivpack, or CPACK_KIVINSTALL_KIVPACK.
if(NOT TARGET KivInstall::kivpack)
  message(FATAL_ERROR "include(KivInstallCPack) needs find_package(KivInstall) first")
endif()
if(NOT CPACK_KIVINSTALL_KIVPACK)
  get_target_property(CPACK_KIVINSTALL_KIVPACK KivInstall::kivpack IMPORTED_LOCATION)
endif()
set(CPACK_EXTERNAL_PACKAGE_SCRIPT "${KIVINSTALL_CPACK_SCRIPT}")
set(CPACK_EXTERNAL_ENABLE_STAGING ON)
# The staged installation is the target directory's content.
set(CPACK_PACKAGING_INSTALL_PREFIX "/")
if(NOT CPACK_GENERATOR)
  set(CPACK_GENERATOR External)
endif()
