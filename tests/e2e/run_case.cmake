# Runs the built program on one case in a fresh scratch folder and checks
# what it leaves behind.
#
#   PROGRAM   the tcsum executable
#   DATA_FILE the data file to run on (none there: the program must create it)
#   CASE_DIR  folder with what is expected:
#               expected-result.out  the report, byte for byte, the date line
#                                    ("Rechendatum: dd.mm.yyyy") excepted;
#                                    without it no report may be written
#               expected-status      the exit status (default 0)
#               expected-stderr      the start of the diagnostic on standard
#                                    error (default: nothing on standard error)
#               existing-report      a result.out of this kind is put in
#                                    place before the run: file, read-only,
#                                    directory or dangling-link; it must be
#                                    left exactly as it was
#               file-size-limit      the run may write files of at most this
#                                    many 512-byte blocks (ulimit -f), as on a
#                                    full disk
#   WORK_DIR  the scratch folder (emptied first)
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
if(EXISTS "${DATA_FILE}")
  file(COPY_FILE "${DATA_FILE}" "${WORK_DIR}/TALVEN")
endif()

set(report "${WORK_DIR}/result.out")
set(old_report "left by an earlier run\n")
set(existing "")
if(EXISTS "${CASE_DIR}/existing-report")
  file(STRINGS "${CASE_DIR}/existing-report" existing LIMIT_COUNT 1)
  if(existing MATCHES "^(file|read-only)$")
    file(WRITE "${report}" "${old_report}")
    if(existing STREQUAL "read-only")
      file(CHMOD "${report}" PERMISSIONS OWNER_READ GROUP_READ WORLD_READ)
    endif()
  elseif(existing STREQUAL "directory")
    file(MAKE_DIRECTORY "${report}")
  elseif(existing STREQUAL "dangling-link")
    # Following the link would create missing.out next to it.
    file(CREATE_LINK "missing.out" "${report}" SYMBOLIC)
  else()
    message(FATAL_ERROR "unknown kind of existing report: '${existing}'")
  endif()
endif()

set(command "${PROGRAM}")
if(EXISTS "${CASE_DIR}/file-size-limit")
  file(STRINGS "${CASE_DIR}/file-size-limit" blocks LIMIT_COUNT 1)
  # Past the limit write() fails with EFBIG instead of raising SIGXFSZ (the
  # commands are joined by && because a ; would split the CMake list).
  set(command sh -c "trap '' XFSZ && ulimit -f ${blocks} && exec \"$0\"" "${PROGRAM}")
endif()
execute_process(COMMAND ${command} WORKING_DIRECTORY "${WORK_DIR}"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)

set(expected_status 0)
if(EXISTS "${CASE_DIR}/expected-status")
  file(STRINGS "${CASE_DIR}/expected-status" expected_status LIMIT_COUNT 1)
endif()
if(NOT status STREQUAL expected_status)
  message(FATAL_ERROR "exit status ${status}, expected ${expected_status}; stderr: ${err}")
endif()

if(EXISTS "${CASE_DIR}/expected-stderr")
  file(READ "${CASE_DIR}/expected-stderr" expected_err)
  string(STRIP "${expected_err}" expected_err)
  string(FIND "${err}" "${expected_err}" at)
  if(NOT at EQUAL 0)
    message(FATAL_ERROR "standard error does not start with '${expected_err}':\n${err}")
  endif()
  string(REGEX MATCHALL "\n" lines "${err}")
  list(LENGTH lines count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "the diagnostic is not one line:\n${err}")
  endif()
elseif(NOT err STREQUAL "")
  message(FATAL_ERROR "unexpected output on standard error:\n${err}")
endif()
if(NOT out STREQUAL "")
  message(FATAL_ERROR "unexpected output on standard output:\n${out}")
endif()

if(NOT EXISTS "${DATA_FILE}")
  file(SIZE "${WORK_DIR}/TALVEN" size)  # fails when the program did not create it
  if(NOT size EQUAL 0)
    message(FATAL_ERROR "the data file the program created is not empty")
  endif()
endif()

# Compared as hex, so every byte counts (CR LF line ends, byte 148 for "ö").
# The date line is the one thing that differs from run to run.
set(date_hex "52656368656e646174756d3a20[0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f]")
if(existing MATCHES "^(file|read-only)$")
  file(READ "${report}" actual)
  if(IS_SYMLINK "${report}" OR NOT actual STREQUAL old_report)
    message(FATAL_ERROR "the existing report was changed")
  endif()
elseif(existing STREQUAL "directory")
  file(GLOB inside "${report}/*")
  if(NOT IS_DIRECTORY "${report}" OR inside)
    message(FATAL_ERROR "the existing directory result.out was changed")
  endif()
elseif(existing STREQUAL "dangling-link")
  file(READ_SYMLINK "${report}" target)
  if(NOT target STREQUAL "missing.out" OR EXISTS "${WORK_DIR}/missing.out")
    message(FATAL_ERROR "the dangling link result.out was changed or followed")
  endif()
elseif(EXISTS "${CASE_DIR}/expected-result.out")
  if(NOT EXISTS "${WORK_DIR}/result.out")
    message(FATAL_ERROR "no report written")
  endif()
  file(READ "${WORK_DIR}/result.out" actual HEX)
  file(READ "${CASE_DIR}/expected-result.out" expected HEX)
  string(REGEX REPLACE "${date_hex}" "<date>" actual "${actual}")
  string(REGEX REPLACE "${date_hex}" "<date>" expected "${expected}")
  if(NOT actual STREQUAL expected)
    execute_process(COMMAND diff "${CASE_DIR}/expected-result.out" "${WORK_DIR}/result.out")
    message(FATAL_ERROR "result.out differs from ${CASE_DIR}/expected-result.out")
  endif()
elseif(EXISTS "${WORK_DIR}/result.out")
  message(FATAL_ERROR "a report was written where none is expected")
endif()
