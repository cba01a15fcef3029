# Installation: `cmake --install build --prefix P` lays the product out as a
# Linux library package:
#   P/lib/lib{listprov,smtpprov,statslog}.so.1.0.0 (+ .so.1 SONAME, .so link)
#   P/include/tallowmere/*.h                       public C headers
#   P/lib/pkgconfig/tallowmere-{listprov,smtpprov,statslog}.pc
#   P/lib/cmake/Tallowmere/                        find_package(Tallowmere):
#                                                  Tallowmere::listprov, ::smtpprov, ::statslog
#   P/bin/tallowmere                               the command-line host
#   P/share/tallowmere/schema/*.sql                CREATE TABLE scripts per engine
#   P/share/tallowmere/examples/                   commented registry files, ODBC
#                                                  configuration, a report definition
# Targets that do not exist in this tree are skipped, so the rules work while
# the components are being built.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(TALLOWMERE_LIBRARIES listprov smtpprov statslog)
set(TALLOWMERE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Tallowmere)
set(TALLOWMERE_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# pkg-config files locate the prefix from their own directory, so an install
# into any --prefix (or a moved tree) stays usable.
file(RELATIVE_PATH TALLOWMERE_PC_TO_PREFIX /${TALLOWMERE_PKGCONFIG_DIR} /)
string(REGEX REPLACE "/$" "" TALLOWMERE_PC_TO_PREFIX "${TALLOWMERE_PC_TO_PREFIX}")

set(installed_libraries)
foreach(library IN LISTS TALLOWMERE_LIBRARIES)
  if(NOT TARGET ${library})
    continue()
  endif()
  get_target_property(type ${library} TYPE)
  if(NOT type STREQUAL "SHARED_LIBRARY")
    continue()
  endif()
  list(APPEND installed_libraries ${library})
  set_target_properties(${library} PROPERTIES
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR})
  install(TARGETS ${library} EXPORT TallowmereTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

  set(TALLOWMERE_PC_NAME ${library})
  set(TALLOWMERE_PC_LIBDIR ${CMAKE_INSTALL_LIBDIR})
  set(TALLOWMERE_PC_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/install/tallowmere.pc.in
    ${CMAKE_BINARY_DIR}/pkgconfig/tallowmere-${library}.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/pkgconfig/tallowmere-${library}.pc
    DESTINATION ${TALLOWMERE_PKGCONFIG_DIR})
endforeach()

install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/tallowmere
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h")

if(installed_libraries)
  install(EXPORT TallowmereTargets NAMESPACE Tallowmere:: DESTINATION ${TALLOWMERE_CMAKE_DIR})
  set(TALLOWMERE_INSTALLED_LIBRARIES "${installed_libraries}")
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/install/TallowmereConfig.cmake.in
    ${CMAKE_BINARY_DIR}/cmake/TallowmereConfig.cmake
    INSTALL_DESTINATION ${TALLOWMERE_CMAKE_DIR})
  write_basic_package_version_file(${CMAKE_BINARY_DIR}/cmake/TallowmereConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
  install(FILES ${CMAKE_BINARY_DIR}/cmake/TallowmereConfig.cmake
                ${CMAKE_BINARY_DIR}/cmake/TallowmereConfigVersion.cmake
    DESTINATION ${TALLOWMERE_CMAKE_DIR})
endif()

if(TARGET tallowmere)
  install(TARGETS tallowmere RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(DIRECTORY ${PROJECT_SOURCE_DIR}/schema/
  DESTINATION ${CMAKE_INSTALL_DATADIR}/tallowmere/schema
  FILES_MATCHING PATTERN "*.sql")
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/config/
  DESTINATION ${CMAKE_INSTALL_DATADIR}/tallowmere/examples)
