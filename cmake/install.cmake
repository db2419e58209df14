# Installation: the public header, the shared library, the zorvel command, a
# CMake package (find_package(zorvel) -> zorvel::zorvel), a pkg-config file and
# the schema of the JSON result.
include(CMakePackageConfigHelpers)

set(ZORVEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zorvel)

# Components follow the Debian packages (cmake/packaging.cmake): the runtime
# library alone, what building against it needs, and the commands.
install(TARGETS zorvel EXPORT zorvel_targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zorvel COMPONENT development)
install(EXPORT zorvel_targets NAMESPACE zorvel:: DESTINATION ${ZORVEL_CMAKE_DIR}
  FILE zorvelTargets.cmake COMPONENT development)

if(TARGET zorvel_cli)
  # The installed command finds the installed library beside it; under /usr
  # the library is on the system's search path and needs no RPATH.
  if(APPLE)
    set_target_properties(zorvel_cli PROPERTIES INSTALL_RPATH "@loader_path/../${CMAKE_INSTALL_LIBDIR}")
  elseif(UNIX AND NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set_target_properties(zorvel_cli PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  endif()
  install(TARGETS zorvel_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
endif()
if(TARGET zorvel_chartgen)
  install(TARGETS zorvel_chartgen RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
endif()

# The schema of the JSON result a run writes when asked.
install(FILES ${PROJECT_SOURCE_DIR}/share/zorvel/run-result.schema.json
  DESTINATION ${CMAKE_INSTALL_DATADIR}/zorvel)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/zorvelConfig.cmake.in
  ${PROJECT_BINARY_DIR}/zorvelConfig.cmake INSTALL_DESTINATION ${ZORVEL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zorvelConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/zorvelConfig.cmake
  ${PROJECT_BINARY_DIR}/zorvelConfigVersion.cmake DESTINATION ${ZORVEL_CMAKE_DIR}
  COMPONENT development)

# The .pc file locates itself, so an install under any --prefix works.
file(RELATIVE_PATH ZORVEL_PC_TO_PREFIX
  ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" ZORVEL_PC_TO_PREFIX "${ZORVEL_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/zorvel.pc.in ${PROJECT_BINARY_DIR}/zorvel.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zorvel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT development)

# The install check needs the shipped files built before it runs.
if(TARGET zorvel_install_tests)
  add_dependencies(zorvel_install_tests zorvel)
  if(TARGET zorvel_cli)
    add_dependencies(zorvel_install_tests zorvel_cli)
    target_compile_definitions(zorvel_install_tests PRIVATE
      ZORVEL_CLI_FILE="$<TARGET_FILE:zorvel_cli>")
  endif()
  if(TARGET zorvel_chartgen)
    add_dependencies(zorvel_install_tests zorvel_chartgen)
    target_compile_definitions(zorvel_install_tests PRIVATE
      ZORVEL_CHARTGEN_FILE="$<TARGET_FILE:zorvel_chartgen>")
  endif()
  target_compile_definitions(zorvel_install_tests PRIVATE
    ZORVEL_SHARED_LIBRARY_FILE="$<TARGET_FILE:zorvel>"
    ZORVEL_CMAKE_COMMAND="${CMAKE_COMMAND}"
    ZORVEL_INSTALL_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    ZORVEL_INSTALL_BINARY_DIR="${PROJECT_BINARY_DIR}"
    ZORVEL_C_COMPILER="${CMAKE_C_COMPILER}"
    ZORVEL_SANITIZED=$<BOOL:${ZORVEL_SANITIZE}>)
endif()
