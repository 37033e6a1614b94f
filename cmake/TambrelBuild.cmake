# Project-wide compile settings and the helpers every subsystem uses to declare its targets.

set(TAMBREL_WARNINGS -Wall -Wextra -Wpedantic -Wshadow=local -Wnon-virtual-dtor -Wcast-align
    -Wunused -Woverloaded-virtual -Wnull-dereference -Wformat=2 -Wimplicit-fallthrough)
if(TAMBREL_WERROR)
  list(APPEND TAMBREL_WARNINGS -Werror)
endif()

if(TAMBREL_SANITIZE)
  add_compile_options(-fsanitize=${TAMBREL_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${TAMBREL_SANITIZE})
endif()

# Every target of the project gets the warnings; generated sources may opt out per file.
function(tambrel_target_defaults target)
  target_compile_options(${target} PRIVATE ${TAMBREL_WARNINGS})
  target_compile_features(${target} PUBLIC cxx_std_20)
endfunction()

# tambrel_library(NAME SOURCES ... [DEPS ...]): a core library of a subsystem, include root src/.
function(tambrel_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  tambrel_target_defaults(${name})
endfunction()

# tambrel_test(NAME SOURCES ... [DEPS ...] [LABELS ...]): a GoogleTest program; each test case becomes a
# ctest entry. Label "core" marks tests that link no Qt (they also run in the ThreadSanitizer build).
function(tambrel_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    TAMBREL_SOURCE_DIR="${PROJECT_SOURCE_DIR}" TAMBREL_OUTPUT_DIR="${TAMBREL_OUTPUT_DIR}")
  tambrel_target_defaults(${name})
  if(NOT ARG_LABELS)
    set(ARG_LABELS core)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 300)
endfunction()

# tambrel_bench(NAME SOURCES ... [DEPS ...]): a benchmark program that prints its figures.
function(tambrel_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bench)
  # The benchmarks' shared headers lie in bench/, whichever folder the program is in.
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/bench)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  tambrel_target_defaults(${name})
endfunction()

# A missing dependency stops the configuration and names the Debian package that brings it.
function(tambrel_missing what debian)
  message(FATAL_ERROR "${what} was not found. Install the Debian package ${debian}, or run tools/setup.sh, "
                      "which installs every package the build and the tests need.")
endfunction()

# tambrel_find_package(NAME DEBIAN-PACKAGE [find_package arguments...])
macro(tambrel_find_package name debian)
  find_package(${name} ${ARGN})
  if(NOT ${name}_FOUND)
    tambrel_missing("${name}" "${debian}")
  endif()
endmacro()

# tambrel_pkg_check(PREFIX MODULE DEBIAN-PACKAGE): the module as the imported target PkgConfig::PREFIX.
macro(tambrel_pkg_check prefix module debian)
  tambrel_find_package(PkgConfig pkg-config)
  pkg_check_modules(${prefix} IMPORTED_TARGET ${module})
  if(NOT ${prefix}_FOUND)
    tambrel_missing("pkg-config module ${module}" "${debian}")
  endif()
endmacro()

# tambrel_find_program(VAR PROGRAM DEBIAN-PACKAGE): a program the build or the tests run.
function(tambrel_find_program var program debian)
  find_program(${var} ${program})
  if(NOT ${var})
    tambrel_missing("The program ${program}" "${debian}")
  endif()
endfunction()

find_package(Threads REQUIRED)
