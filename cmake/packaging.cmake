# Debian packages with CPack: `cpack -G DEB` in a build directory (or
# scripts/package, which also checks them) gives
#   libzorvel1       the shared library (SONAME libzorvel.so.1)
#   libzorvel-dev    header, libzorvel.so, CMake package, pkg-config file
#   zorvel-tools     zorvel and zorvel-chartgen
#   python3-zorvel   the Python package and zorvel-batch (when it is built)
# Configure with -DCMAKE_INSTALL_PREFIX=/usr for packages: the library then
# lands in the multiarch folder and the commands carry no RPATH.
set(CPACK_PACKAGE_NAME zorvel)
set(CPACK_PACKAGE_VENDOR "zorvel developers")
set(ZORVEL_PACKAGE_CONTACT "zorvel developers <zorvel@example.com>" CACHE STRING
  "Maintainer field of the Debian packages")
set(CPACK_PACKAGE_CONTACT ${ZORVEL_PACKAGE_CONTACT})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "stereo calibration of dual-camera modules")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(zorvel_package_components runtime development tools)
if(TARGET zorvel_python)
  list(APPEND zorvel_package_components python)
endif()
set(CPACK_COMPONENTS_ALL ${zorvel_package_components})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
# zorvel-tools links the library built alongside; it is found there, and its
# dependency comes from the component dependency below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR})

set(CPACK_COMPONENT_RUNTIME_DISPLAY_NAME "zorvel library")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libzorvel1)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# A shlibs file for packages built against it (only libzorvel1 holds a
# shared library) and the ldconfig trigger. CPack also writes postinst and
# postrm scripts that run ldconfig for any library under /usr/lib; the
# trigger makes them redundant but harmless.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
file(WRITE ${PROJECT_BINARY_DIR}/debian/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/triggers)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "stereo calibration of dual-camera modules - library
 The shared library a test station calls, with its single exported function
 zorvel_calibrate: it calibrates a dual-camera module from chart captures and
 writes the calibration record, or verifies a module against a stored record.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libzorvel-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
  "stereo calibration of dual-camera modules - development files
 The header, the CMake package (find_package(zorvel) gives zorvel::zorvel) and
 the pkg-config file for building station programs against libzorvel.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME zorvel-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION science)
set(CPACK_COMPONENT_TOOLS_DEPENDS runtime)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
  "stereo calibration of dual-camera modules - commands
 zorvel runs one calibration or verification from a configuration file as a
 station would; zorvel-chartgen renders the captures of a simulated module
 with known ground truth.")

# The compiled module holds the library's code itself (it links the internal
# static libraries, as the zorvel command does), so the package needs no
# libzorvel1; shlibdeps adds the C and C++ runtimes. The module is built for
# one Python minor version, the one the Depends range names. numpy (key points
# as arrays), tqdm (zorvel-batch's progress bar) and matplotlib (the lot
# report's plots) are each used only when installed; Dask's distributed only
# for `zorvel-batch --scheduler`.
# CPack warns that the module has no SONAME and so stays out of the shlibs
# file: rightly, nothing links against a Python module.
set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-zorvel)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
if(ZORVEL_PYTHON_MINOR)
  math(EXPR zorvel_python_next "${ZORVEL_PYTHON_MINOR} + 1")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
    "python3 (>= 3.${ZORVEL_PYTHON_MINOR}), python3 (<< 3.${zorvel_python_next})")
endif()
set(CPACK_DEBIAN_PYTHON_PACKAGE_RECOMMENDS "python3-numpy, python3-tqdm, python3-matplotlib")
set(CPACK_DEBIAN_PYTHON_PACKAGE_SUGGESTS "python3-distributed")
set(CPACK_COMPONENT_PYTHON_DESCRIPTION
  "stereo calibration of dual-camera modules - Python 3 package
 The zorvel package runs a calibration or verification, lists a stored
 record and renders simulated modules from Python, with results as the
 library's JSON result. zorvel-batch reprocesses a lot of modules, each in a
 child process of its own, locally or on a Dask cluster, into one SQLite
 file, and reports yield and drift.")

# Every package carries its copyright file and changelog in its doc folder.
set(ZORVEL_LICENSE_NAME "other" CACHE STRING "License field of the Debian copyright file")
set(ZORVEL_LICENSE_TEXT "No licence has been granted; all rights reserved." CACHE STRING
  "License text of the Debian copyright file")
string(TIMESTAMP ZORVEL_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
string(TIMESTAMP ZORVEL_COPYRIGHT_YEAR "%Y" UTC)
set(debian_dir ${PROJECT_BINARY_DIR}/debian)
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/copyright.in ${debian_dir}/copyright @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in ${debian_dir}/changelog @ONLY)
file(ARCHIVE_CREATE OUTPUT ${debian_dir}/changelog.gz PATHS ${debian_dir}/changelog
  FORMAT raw COMPRESSION GZip COMPRESSION_LEVEL 9)
foreach(component ${zorvel_package_components})
  string(TOUPPER ${component} upper)
  install(FILES ${debian_dir}/copyright ${debian_dir}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME}
    COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

include(CPack)
