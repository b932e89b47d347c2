# What a released Windows program carries, and the release zip. Included by
# cmake/windows.cmake after both programs are defined.
#
#   cpack --config build/windows/CPackConfig.cmake     (scripts/release.sh)
# makes ombrane-<version>-win64.zip: both programs, helpfile.txt, examples/
# and README.txt in one folder of the same name.

# The VERSIONINFO resources read their numbers from ombrane_version.h.
target_link_libraries(ombrane PRIVATE ombrane_version)
target_link_libraries(ombrane-legacy PRIVATE ombrane_version)

# Windows' Notepad of before 2018 shows a file without CR as one line.
configure_file(${CMAKE_CURRENT_LIST_DIR}/README.txt.in
  ${CMAKE_BINARY_DIR}/package/README.txt @ONLY NEWLINE_STYLE CRLF)

install(TARGETS ombrane ombrane-legacy RUNTIME DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/helpfile.txt ${CMAKE_BINARY_DIR}/package/README.txt
  DESTINATION .)
# The report and save files that runs write beside the examples stay home.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION examples
  PATTERN "*.report.csv" EXCLUDE
  PATTERN "*.omb" EXCLUDE
  PATTERN "*.omxxb" EXCLUDE)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME ombrane)
set(CPACK_PACKAGE_VERSION ${OMBRANE_VERSION})
set(CPACK_PACKAGE_FILE_NAME ombrane-${OMBRANE_VERSION}-win64)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
