# vq_target_warnings(target): our warning set; errors when VQ_WERROR is on (CI).
function(vq_target_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wnon-virtual-dtor
                         -Wold-style-cast -Wcast-align -Woverloaded-virtual)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wshadow=local)
  endif()
  # GCC 12 reports std::string copies as overlapping at -O2 and above (a known false positive).
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(VQ_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# vq_library(name [PUBLIC deps...] [PRIVATE deps...]): one library target per
# source folder. PUBLIC: what its headers expose to users (they get it too);
# PRIVATE: what only its sources use. DEPS is an older spelling of PUBLIC.
function(vq_library name)
  cmake_parse_arguments(ARG "" "" "PUBLIC;PRIVATE;DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  if(NOT srcs)
    return()
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}/src")
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} ${ARG_DEPS} PRIVATE ${ARG_PRIVATE})
  vq_target_warnings(${name})
endfunction()
