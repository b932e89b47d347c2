# libFuzzer targets: every fuzz/<name>.cpp ending in _fuzz becomes a target of
# that name, linked against the model and the headless platform. Configure
# with CXX=clang++ and -DOMBRANE_FUZZ=ON (scripts/fuzz.sh does both).
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "OMBRANE_FUZZ needs clang++: configure with CXX=clang++")
endif()

set(OMBRANE_FUZZ_SANITIZERS address,undefined)
set(OMBRANE_FUZZ_FLAGS -g -fno-omit-frame-pointer -fno-sanitize-recover=undefined)

# The model is instrumented for coverage too, or the fuzzer would be blind
# inside the code it is meant to explore.
foreach(library ombrane_core ombrane_files ombrane_commands ombrane_frontend ombrane_sys_null ombrane_lab)
  target_compile_options(${library} PRIVATE
    -fsanitize=fuzzer-no-link,${OMBRANE_FUZZ_SANITIZERS} ${OMBRANE_FUZZ_FLAGS})
endforeach()
# The batch program links the same instrumented model, and the lab its reader.
target_link_options(ombrane-batch PRIVATE -fsanitize=${OMBRANE_FUZZ_SANITIZERS})
target_link_options(ombrane-lab PRIVATE -fsanitize=${OMBRANE_FUZZ_SANITIZERS})

file(GLOB OMBRANE_FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*_fuzz.cpp)
foreach(source ${OMBRANE_FUZZ_SOURCES})
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source})
  target_compile_options(${name} PRIVATE
    -fsanitize=fuzzer,${OMBRANE_FUZZ_SANITIZERS} ${OMBRANE_FUZZ_FLAGS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,${OMBRANE_FUZZ_SANITIZERS})
  target_link_libraries(${name} ombrane_sys_null ombrane_frontend ombrane_lab)
endforeach()
