# The Windows programs, cross-built with cmake/mingw-w64.cmake (see
# scripts/build-windows.sh). Included by the top-level CMakeLists.txt after
# it has defined ombrane_model.
enable_language(RC)

set(OMBRANE_WIN32_SYSTEM_LIBS gdi32 user32 comdlg32 winmm)

# Win32 glue that both programs share: console, painting, commands, dialogs
# and the platform seams. Each program adds its own entry point and window
# procedure.
file(GLOB FRONTEND_WIN32_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/frontend/win32/*.cpp)
list(FILTER FRONTEND_WIN32_SOURCES EXCLUDE REGEX "/frontend/win32/main\\.cpp$")
add_library(ombrane_frontend_win32 STATIC ${FRONTEND_WIN32_SOURCES})
target_include_directories(ombrane_frontend_win32 PUBLIC ${CMAKE_SOURCE_DIR})

# The model calls the seams that the glue defines, and the glue calls the
# model: link both as one group so the order does not matter.
set(OMBRANE_WIN32_LIBS
  "$<LINK_GROUP:RESCAN,ombrane_frontend_win32,ombrane_model>"
  ${OMBRANE_WIN32_SYSTEM_LIBS})

# ombrane.exe: the current edition.
add_executable(ombrane WIN32
  ${CMAKE_SOURCE_DIR}/frontend/win32/main.cpp
  ${CMAKE_SOURCE_DIR}/resources/ombrane.rc)
target_include_directories(ombrane PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/resources)
target_link_libraries(ombrane PRIVATE ${OMBRANE_WIN32_LIBS})
# The Help command prints the help file from the program's own folder.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/helpfile.txt
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/helpfile.txt ${CMAKE_BINARY_DIR}/helpfile.txt
  DEPENDS ${CMAKE_SOURCE_DIR}/helpfile.txt)
add_custom_target(ombrane-helpfile DEPENDS ${CMAKE_BINARY_DIR}/helpfile.txt)
add_dependencies(ombrane ombrane-helpfile)

# Test-only Windows programs, run under Wine by scripts/wine-tests.sh:
# the console reader and the in-process GDI tests.
option(OMBRANE_WINE_TESTS "Build the Windows test helpers" ON)
set(OMBRANE_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to cross-build")
if(OMBRANE_WINE_TESTS)
  add_executable(ombrane-conread WIN32 ${CMAKE_SOURCE_DIR}/tests/wine/conread.cpp)

  # The batch runner over the headless platform, as natively: the golden runs
  # (tests/golden/golden.sh) under Wine must give the native build's bytes.
  add_executable(ombrane-batch ${CMAKE_SOURCE_DIR}/batch/main.cpp ${CMAKE_SOURCE_DIR}/core/sys_null.cpp)
  target_include_directories(ombrane-batch PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(ombrane-batch PRIVATE ombrane_model)

  if(EXISTS ${OMBRANE_GTEST_SOURCE}/CMakeLists.txt)
    set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${OMBRANE_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    file(GLOB WINE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*_test.cpp)
    add_executable(ombrane-gdi-tests ${WINE_TEST_SOURCES})
    target_link_libraries(ombrane-gdi-tests PRIVATE ${OMBRANE_WIN32_LIBS} gtest gtest_main)
  else()
    message(WARNING "No GoogleTest sources at ${OMBRANE_GTEST_SOURCE}: GDI tests not built")
  endif()
endif()

# ---------------------------------------------------------------------------
# ombrane-legacy.exe (the earlier edition) is added below this line. It can
# reuse ombrane_frontend_win32 and OMBRANE_WIN32_LIBS, with its own entry
# point, window procedure and resources/legacy.rc.
# ---------------------------------------------------------------------------

# ombrane-legacy.exe: the earlier edition (0.7). Its own entry point, window
# procedure and drawing (which answers the DrawCar seam, so the current
# edition's painting is never linked in) over the shared glue and model.
file(GLOB LEGACY_WIN32_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/legacy/win32/*.cpp)
add_executable(ombrane-legacy WIN32 ${LEGACY_WIN32_SOURCES} ${CMAKE_SOURCE_DIR}/resources/legacy.rc)
target_include_directories(ombrane-legacy PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/resources)
target_link_libraries(ombrane-legacy PRIVATE ${OMBRANE_WIN32_LIBS})
