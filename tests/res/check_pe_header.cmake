# Reads a Windows program's header with objdump -p and checks what the loader of today's
# Windows looks at: subsystem and OS version 6.0, and a 32-bit program that may use the
# address space above 2 GiB (a 64-bit one always may).
#   cmake -DOBJDUMP=... -DPROGRAM=... -P check_pe_header.cmake
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE header RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${PROGRAM} failed (${status})")
endif()

set(failures 0)
macro(expect field value)
  string(REGEX MATCH "\n${field}[ \t]+([^\n]*)" found "${header}")
  string(STRIP "${CMAKE_MATCH_1}" got)
  if(got STREQUAL "${value}")
    message(STATUS "ok: ${field} ${got}")
  else()
    message(STATUS "FAIL: ${field} is '${got}', not '${value}'")
    math(EXPR failures "${failures} + 1")
  endif()
endmacro()

expect(MajorSubsystemVersion 6)
expect(MinorSubsystemVersion 0)
expect(MajorOSystemVersion 6)
expect(MinorOSystemVersion 0)

string(REGEX MATCH "\nMagic[ \t]+([0-9a-f]+)" found "${header}")
if(CMAKE_MATCH_1 STREQUAL "010b") # PE32: a 32-bit program
  if(header MATCHES "large address aware")
    message(STATUS "ok: the 32-bit program is large address aware")
  else()
    message(STATUS "FAIL: the 32-bit program is not large address aware")
    math(EXPR failures "${failures} + 1")
  endif()
endif()

if(failures GREATER 0)
  message(FATAL_ERROR "${PROGRAM}: ${failures} header check(s) failed")
endif()
