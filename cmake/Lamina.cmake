# Common settings for every target of the project.

set(LAMINA_WARNINGS -Wall -Wextra -Wpedantic -Werror -Wshadow -Wconversion
    -Wno-sign-conversion)

set(LAMINA_SANITIZER_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer
    -fno-sanitize-recover=all)

# The include boundaries between the libraries (scripts/check-layers.sh) are
# checked before anything of the project is compiled, so an include across a
# boundary fails the build.
add_custom_target(lamina_layers ALL
  COMMAND bash "${CMAKE_SOURCE_DIR}/scripts/check-layers.sh" "${CMAKE_SOURCE_DIR}"
  COMMENT "Checking include boundaries"
  VERBATIM)

function(lamina_defaults target)
  add_dependencies(${target} lamina_layers)
  target_compile_options(${target} PRIVATE ${LAMINA_WARNINGS})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
  if(LAMINA_SANITIZE)
    target_compile_options(${target} PRIVATE ${LAMINA_SANITIZER_FLAGS})
    target_link_options(${target} PRIVATE ${LAMINA_SANITIZER_FLAGS})
  endif()
  if(LAMINA_FUZZ)
    # Every library is instrumented for coverage so the fuzzers see into it.
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
  endif()
endfunction()

# lamina_library(name SOURCES... [DEPS ...])
function(lamina_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  lamina_defaults(${name})
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
endfunction()

# lamina_test(name SOURCES... [DEPS ...]): a GoogleTest executable run by CTest.
function(lamina_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  lamina_defaults(${name})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} lamina_test_main GTest::gtest GTest::gmock)
  # The environment (dummy sound driver, the build tree's ORALIS_DIR) is set
  # by the tests' own main.
  gtest_discover_tests(${name} WORKING_DIRECTORY ${CMAKE_SOURCE_DIR} DISCOVERY_TIMEOUT 60)
endfunction()

# Adds every direct subfolder of the current folder that has a CMakeLists.txt
# (tests/, bench/, tools/ and fuzz/ hold one folder per subsystem or tool).
function(lamina_add_subfolders)
  file(GLOB dirs LIST_DIRECTORIES true "${CMAKE_CURRENT_SOURCE_DIR}/*")
  foreach(dir ${dirs})
    if(IS_DIRECTORY "${dir}" AND EXISTS "${dir}/CMakeLists.txt")
      add_subdirectory("${dir}")
    endif()
  endforeach()
endfunction()
