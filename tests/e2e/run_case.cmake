# Runs the built program on one case in a fresh scratch folder and checks
# what it leaves behind.
#
#   PROGRAM   the tcsum executable
#   DATA_FILE the data file to run on (none there: the run must not create it)
#   CASE_DIR  folder with the case:
#               arguments            command-line arguments, one per line
#               data-file-kind       "directory": the data file is an empty
#                                    directory
#               expected-stdout      standard output, exactly (default:
#                                    nothing on standard output)
#               expected-warnings    the "warning: " lines on standard error,
#                                    exactly and in order (default: none)
#               expected-result.out  the report, byte for byte, the date line
#                                    ("Rechendatum: dd.mm.yyyy") excepted;
#                                    without it no report may be written
#               expected-status      the exit status (default 0)
#               expected-stderr      the start of the one-line diagnostic on
#                                    standard error after the warnings
#                                    (default: nothing else on standard error)
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
set(data_kind "")
if(EXISTS "${CASE_DIR}/data-file-kind")
  file(STRINGS "${CASE_DIR}/data-file-kind" data_kind LIMIT_COUNT 1)
endif()
if(data_kind STREQUAL "directory")
  file(MAKE_DIRECTORY "${WORK_DIR}/TALVEN")
elseif(EXISTS "${DATA_FILE}")
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

set(arguments "")
if(EXISTS "${CASE_DIR}/arguments")
  file(STRINGS "${CASE_DIR}/arguments" arguments)
endif()
set(command "${PROGRAM}" ${arguments})
if(EXISTS "${CASE_DIR}/file-size-limit")
  file(STRINGS "${CASE_DIR}/file-size-limit" blocks LIMIT_COUNT 1)
  # Past the limit write() fails with EFBIG instead of raising SIGXFSZ (the
  # commands are joined by && because a ; would split the CMake list).
  set(command sh -c "trap '' XFSZ && ulimit -f ${blocks} && exec \"$0\" \"$@\"" "${PROGRAM}" ${arguments})
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

# Standard error: the warning lines, then at most one diagnostic line (a
# semicolon would split the CMake list of lines).
string(REPLACE ";" "<semicolon>" err "${err}")
string(REGEX MATCHALL "warning: [^\n]*\n" warnings "${err}")
string(REGEX REPLACE "warning: [^\n]*\n" "" err "${err}")
string(JOIN "" warnings ${warnings})
set(expected_warnings "")
if(EXISTS "${CASE_DIR}/expected-warnings")
  file(READ "${CASE_DIR}/expected-warnings" expected_warnings)
  string(REPLACE ";" "<semicolon>" expected_warnings "${expected_warnings}")
endif()
if(NOT warnings STREQUAL expected_warnings)
  message(FATAL_ERROR "warnings differ; expected:\n${expected_warnings}\nfound:\n${warnings}")
endif()
string(REPLACE "<semicolon>" ";" err "${err}")
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
set(expected_out "")
if(EXISTS "${CASE_DIR}/expected-stdout")
  file(READ "${CASE_DIR}/expected-stdout" expected_out)
endif()
if(NOT out STREQUAL expected_out)
  message(FATAL_ERROR "standard output differs; expected:\n${expected_out}\nfound:\n${out}")
endif()

if(NOT EXISTS "${DATA_FILE}" AND NOT data_kind STREQUAL "directory"
   AND EXISTS "${WORK_DIR}/TALVEN")
  message(FATAL_ERROR "the run created the missing data file")
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
