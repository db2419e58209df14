# The Windows zip: `cpack -G ZIP` in a MinGW build directory gives
# zorvel-VERSION-win64.zip with bin/ (zorvel.dll, zorvel.exe,
# zorvel-chartgen.exe), include/, and lib/ (import library, CMake package,
# pkg-config file).
set(CPACK_PACKAGE_NAME zorvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win64)
set(CPACK_GENERATOR ZIP)
set(CPACK_STRIP_FILES ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
include(CPack)
