# SPDX-License-Identifier: MIT
# The version is kept in one place, the public header, where hosts test it
# with the preprocessor; the project, the packages and the manual pages read
# it from there.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../include/qv-utility.h qv_version_lines
  REGEX "^#define QV_UTILITY_VERSION_(MAJOR|MINOR|PATCH) ")
# Read at configure time, so a new version configures again.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_LIST_DIR}/../include/qv-utility.h)
foreach(part MAJOR MINOR PATCH)
  string(REGEX MATCH "QV_UTILITY_VERSION_${part} +([0-9]+)" qv_match "${qv_version_lines}")
  if(NOT qv_match)
    message(FATAL_ERROR "include/qv-utility.h defines no QV_UTILITY_VERSION_${part}")
  endif()
  set(QV_VERSION_${part} ${CMAKE_MATCH_1})
endforeach()
set(QV_VERSION ${QV_VERSION_MAJOR}.${QV_VERSION_MINOR}.${QV_VERSION_PATCH})

# The date the identification strings and the manual pages carry:
# SOURCE_DATE_EPOCH when a packager sets it, else the date of the last commit,
# so that two builds of one tree give the same bytes.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(QV_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git log -1 --format=%ct
    WORKING_DIRECTORY ${CMAKE_CURRENT_LIST_DIR}/..
    OUTPUT_VARIABLE QV_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT QV_SOURCE_DATE_EPOCH)
    set(QV_SOURCE_DATE_EPOCH 0)
  endif()
  # string(TIMESTAMP) reads it from the environment.
  set(ENV{SOURCE_DATE_EPOCH} ${QV_SOURCE_DATE_EPOCH})
endif()
string(TIMESTAMP QV_BUILD_DATE "%Y-%m-%d %H:%M:%S" UTC)
