# The Windows build (mingw-w64 cross build, see cmake/toolchain-mingw64.cmake).
# Included once by the top-level CMakeLists.txt when the target is Windows.

if(UPDATER_SANITIZE)
  message(STATUS "The sanitizers do not exist for mingw-w64; the Windows build runs without them")
  set(UPDATER_SANITIZE OFF)
endif()

# Resource scripts are UTF-8.
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")

# The Win32 calls are the wide ones; the program runs on Windows 7 and later.
add_compile_definitions(UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601 WINVER=0x0601)
# Static run-time (C, C++ and the thread library), so Updater.exe runs alone.
add_link_options(-static)

# minizip, built by scripts/setup-deps with its Win32 file layer.
set(UPDATER_MINIZIP_PREFIX /opt/mingw-minizip CACHE PATH "Where scripts/setup-deps installs minizip for Windows")
if(NOT EXISTS ${UPDATER_MINIZIP_PREFIX}/lib/libminizip.a)
  message(FATAL_ERROR "minizip for Windows is missing in ${UPDATER_MINIZIP_PREFIX}; run scripts/setup-deps")
endif()
add_library(updater_minizip STATIC IMPORTED GLOBAL)
set_target_properties(updater_minizip PROPERTIES
  IMPORTED_LOCATION ${UPDATER_MINIZIP_PREFIX}/lib/libminizip.a
  # Both spellings of the include: <minizip/unzip.h> and <unzip.h>.
  INTERFACE_INCLUDE_DIRECTORIES "${UPDATER_MINIZIP_PREFIX}/include;${UPDATER_MINIZIP_PREFIX}/include/minizip"
  INTERFACE_LINK_LIBRARIES z)

if(UPDATER_BUILD_TESTS)
  # The test programs run under wine, each in this build's own prefix.
  if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    set(UPDATER_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                    WORLD_READ WORLD_EXECUTE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
  endif()
  # Listing the tests needs wine; do it when the tests run, not while building.
  set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

  # GoogleTest from the sources Debian ships, built inside this build; it
  # defines the GTest:: targets itself.
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()
