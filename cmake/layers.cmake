# One static library per layer. A layer sees only its own folders and the
# layers it links: each gets an include root of its own in the build tree,
# holding links to just its folders, so an #include that runs up a layer
# finds no such file and the build stops there.
#
#   ombrane_layer(<target> FOLDERS <top-level folder>... SOURCES <glob>...
#                 [DEPENDS <lower layer>...])
function(ombrane_layer target)
  cmake_parse_arguments(L "" "" "FOLDERS;SOURCES;DEPENDS;EXCLUDE" ${ARGN})
  set(root ${CMAKE_BINARY_DIR}/layers/${target})
  file(MAKE_DIRECTORY ${root})
  foreach(folder ${L_FOLDERS})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endforeach()
  set(sources)
  foreach(pattern ${L_SOURCES})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${pattern})
    list(APPEND sources ${found})
  endforeach()
  foreach(pattern ${L_EXCLUDE})
    list(FILTER sources EXCLUDE REGEX "${pattern}")
  endforeach()
  if(sources)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${root})
    target_link_libraries(${target} PUBLIC ${L_DEPENDS})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${root})
    target_link_libraries(${target} INTERFACE ${L_DEPENDS})
  endif()
endfunction()
