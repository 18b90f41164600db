# SPDX-License-Identifier: MIT
# Options shared by every target of the project, kept on an interface target
# rather than in global flags.  qv_build_options carries warnings, the
# language rules and the sanitizers; targets link it privately.

set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_C_STANDARD 99)
set(CMAKE_C_STANDARD_REQUIRED ON)

add_library(qv_build_options INTERFACE)
target_compile_options(qv_build_options INTERFACE
  -Wall -Wextra -Wshadow -Wformat=2
  $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti>)

if(QV_SANITIZE)
  target_compile_options(qv_build_options INTERFACE
    -fsanitize=${QV_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(qv_build_options INTERFACE -fsanitize=${QV_SANITIZE})
  # clang's function-type check in C++ objects needs the C++ half of the
  # UBSan runtime, which the C programs linked with the library (the tool,
  # the examples) do not carry.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND QV_SANITIZE MATCHES "undefined")
    target_compile_options(qv_build_options INTERFACE
      $<$<COMPILE_LANGUAGE:CXX>:-fno-sanitize=function>)
  endif()
endif()

# Coverage is a build kind of its own (the coverage preset): gcov's counters
# in every target, for scripts/coverage to read.
option(QV_COVERAGE "Build with gcov counters" OFF)
if(QV_COVERAGE)
  target_compile_options(qv_build_options INTERFACE --coverage)
  target_link_options(qv_build_options INTERFACE --coverage)
endif()

# Hardening as Debian builds libraries and programs: a stack protector in
# every frame that holds an array, the checked forms of the string and
# formatting calls, relocations read-only and bound at load.  And no source or
# build path in the objects, so that a tree builds to the same bytes wherever
# it lies.  Sanitizer builds go without: their runtimes replace the same calls;
# coverage builds too, since gcov finds the sources by their full paths.
if(NOT QV_SANITIZE AND NOT QV_COVERAGE)
  target_compile_options(qv_build_options INTERFACE
    -fstack-protector-strong -Werror=format-security -Wdate-time
    -ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=.)
  target_compile_definitions(qv_build_options INTERFACE
    $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
  target_link_options(qv_build_options INTERFACE -Wl,-z,relro -Wl,-z,now)
endif()

# Build-tree search paths relative to $ORIGIN: installing removes the entry
# but leaves its string, whose length would otherwise follow the build
# directory's.
set(CMAKE_BUILD_RPATH_USE_ORIGIN ON)

# True when the build is instrumented: sanitizer or gcov runtimes then
# appear in the library, so checks of the shipped object's shape skip.
if(QV_SANITIZE OR QV_COVERAGE)
  set(QV_INSTRUMENTED ON)
else()
  set(QV_INSTRUMENTED OFF)
endif()

# Tests, benchmarks and tools may use exceptions-free C++ freely but are not
# shipped; they get the same options so sanitizers see every frame.
function(qv_apply_build_options target)
  target_link_libraries(${target} PRIVATE qv_build_options)
endfunction()
