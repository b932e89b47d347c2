# The version of each edition, written once: the current one in project(),
# the earlier one here. Programs, resources and release names read them from
# the generated ombrane_version.h (link the ombrane_version target) or from
# these variables.
set(OMBRANE_VERSION ${PROJECT_VERSION})
set(OMBRANE_LEGACY_VERSION 0.7)

# Splits a "major.minor[.patch]" version into PREFIX_MAJOR, _MINOR and _PATCH,
# a missing part being 0.
function(ombrane_split_version version prefix)
  string(REPLACE "." ";" parts "${version}.0.0")
  list(GET parts 0 major)
  list(GET parts 1 minor)
  list(GET parts 2 patch)
  set(${prefix}_MAJOR ${major} PARENT_SCOPE)
  set(${prefix}_MINOR ${minor} PARENT_SCOPE)
  set(${prefix}_PATCH ${patch} PARENT_SCOPE)
endfunction()
ombrane_split_version(${OMBRANE_VERSION} OMBRANE_VERSION)
ombrane_split_version(${OMBRANE_LEGACY_VERSION} OMBRANE_LEGACY_VERSION)

configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in
  ${CMAKE_BINARY_DIR}/generated/ombrane_version.h @ONLY)
add_library(ombrane_version INTERFACE)
target_include_directories(ombrane_version INTERFACE ${CMAKE_BINARY_DIR}/generated)
