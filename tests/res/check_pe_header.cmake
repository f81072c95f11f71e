# Reads a Windows program's header with objdump -p and checks what the loader of today's
# Windows looks at: subsystem and OS version 6.0, and a 32-bit program that may use the
# address space above 2 GiB (a 64-bit one always may).
#   cmake -DOBJDUMP=... -DPROGRAM=... -P check_pe_header.cmake
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE header RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${PROGRAM} failed (${status})")
endif()

set(failures 0)
# report(OK_TEXT FAIL_TEXT CONDITION...): says how the check came out; a failure is
# counted. The condition is written as if() takes it.
macro(report ok_text fail_text)
  if(${ARGN})
    message(STATUS "ok: ${ok_text}")
  else()
    message(STATUS "FAIL: ${fail_text}")
    math(EXPR failures "${failures} + 1")
  endif()
endmacro()

macro(expect field value)
  string(REGEX MATCH "\n${field}[ \t]+([^\n]*)" found "${header}")
  string(STRIP "${CMAKE_MATCH_1}" got)
  report("${field} ${got}" "${field} is '${got}', not '${value}'" got STREQUAL "${value}")
endmacro()

expect(MajorSubsystemVersion 6)
expect(MinorSubsystemVersion 0)
expect(MajorOSystemVersion 6)
expect(MinorOSystemVersion 0)

string(REGEX MATCH "\nMagic[ \t]+([0-9a-f]+)" found "${header}")
if(CMAKE_MATCH_1 STREQUAL "010b") # PE32: a 32-bit program
  report("the 32-bit program is large address aware"
         "the 32-bit program is not large address aware" header MATCHES "large address aware")
endif()

if(failures GREATER 0)
  message(FATAL_ERROR "${PROGRAM}: ${failures} header check(s) failed")
endif()
