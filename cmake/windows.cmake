# The Windows programs, cross-built with cmake/mingw-w64.cmake (see
# scripts/build-windows.sh). Included by the top-level CMakeLists.txt after
# it has defined the platform-free layers.
enable_language(RC)

set(OMBRANE_WIN32_SYSTEM_LIBS gdi32 user32 comdlg32 winmm)

# Menu, dialog and control numbers, shared by the resources and the code.
ombrane_layer(ombrane_resources FOLDERS resources DEPENDS ombrane_version)

# The Win32 glue both programs share: window skeleton, console, commands and
# dialogs, mouse. It sits over the platform-free front end.
ombrane_layer(ombrane_win32 FOLDERS win32 SOURCES win32/*.cpp
  EXCLUDE "/win32/(seams|console)\\.cpp$"
  DEPENDS ombrane_frontend ombrane_resources)
target_link_libraries(ombrane_win32 PUBLIC ${OMBRANE_WIN32_SYSTEM_LIBS})

# The platform calls that the model makes, answered with the window and the
# console. Linked as objects into each program, beside that program's own
# DrawCar, so the linker never has to choose between two painters.
add_library(ombrane_win32_platform OBJECT
  ${CMAKE_SOURCE_DIR}/win32/seams.cpp ${CMAKE_SOURCE_DIR}/win32/console.cpp)
target_link_libraries(ombrane_win32_platform PUBLIC ombrane_win32)

# ombrane.exe: the current edition, painting off screen.
add_executable(ombrane WIN32
  ${CMAKE_SOURCE_DIR}/programs/ombrane/main.cpp
  ${CMAKE_SOURCE_DIR}/programs/ombrane/paint.cpp
  ${CMAKE_SOURCE_DIR}/programs/ombrane/view_windows.cpp
  ${CMAKE_SOURCE_DIR}/resources/ombrane.rc)
target_link_libraries(ombrane PRIVATE ombrane_win32_platform ombrane_win32)
# The Help command prints the help file from the program's own folder.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/helpfile.txt
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/helpfile.txt ${CMAKE_BINARY_DIR}/helpfile.txt
  DEPENDS ${CMAKE_SOURCE_DIR}/helpfile.txt)
add_custom_target(ombrane-helpfile DEPENDS ${CMAKE_BINARY_DIR}/helpfile.txt)
add_dependencies(ombrane ombrane-helpfile)

# ombrane-legacy.exe: the earlier edition (0.7), drawing straight onto the
# window as the cars move.
add_executable(ombrane-legacy WIN32
  ${CMAKE_SOURCE_DIR}/programs/legacy/main.cpp
  ${CMAKE_SOURCE_DIR}/programs/legacy/paint.cpp
  ${CMAKE_SOURCE_DIR}/resources/legacy.rc)
target_link_libraries(ombrane-legacy PRIVATE ombrane_win32_platform ombrane_win32)

# ombrane-desk.exe: lays out the windows in the virtual display that
# scripts/run.sh serves to a web browser. Not part of a release.
add_executable(ombrane-desk WIN32 ${CMAKE_SOURCE_DIR}/programs/desk/main.cpp)
target_link_libraries(ombrane-desk PRIVATE user32)

# Test-only Windows programs, run under Wine by scripts/wine-tests.sh:
# the console reader and the in-process GDI tests of ombrane.exe's painting.
option(OMBRANE_WINE_TESTS "Build the Windows test helpers" ${OMBRANE_TESTS})
set(OMBRANE_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to cross-build")
if(OMBRANE_WINE_TESTS)
  add_executable(ombrane-conread WIN32 ${CMAKE_SOURCE_DIR}/tests/wine/conread.cpp)

  if(EXISTS ${OMBRANE_GTEST_SOURCE}/CMakeLists.txt)
    set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    # GoogleTest declares an older CMake; let it take the link-time optimisation too.
    set(CMAKE_POLICY_DEFAULT_CMP0069 NEW)
    add_subdirectory(${OMBRANE_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    file(GLOB WINE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*_test.cpp)
    add_executable(ombrane-gdi-tests ${WINE_TEST_SOURCES} ${CMAKE_SOURCE_DIR}/programs/ombrane/paint.cpp
      ${CMAKE_SOURCE_DIR}/programs/ombrane/view_windows.cpp ${CMAKE_SOURCE_DIR}/resources/ombrane.rc)
    target_include_directories(ombrane-gdi-tests PRIVATE ${CMAKE_SOURCE_DIR})
    target_link_libraries(ombrane-gdi-tests PRIVATE ombrane_win32_platform ombrane_win32 gtest gtest_main)
  else()
    message(WARNING "No GoogleTest sources at ${OMBRANE_GTEST_SOURCE}: GDI tests not built")
  endif()
endif()

include(${CMAKE_CURRENT_LIST_DIR}/package.cmake)
