# Fails unless the program imports only DLLs that every Windows has: no MinGW runtime DLLs
# (it is linked statically), and neither HTML Help nor the common dialogs at load time (they are
# loaded when first needed: comdlg32 alone slows every start).
# Arguments: -DOBJDUMP=<objdump> -DPROGRAM=<exe>
cmake_minimum_required(VERSION 3.20)
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} failed on ${PROGRAM}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
set(allowed ADVAPI32.dll COMCTL32.dll KERNEL32.dll msvcrt.dll USER32.dll GDI32.dll BCRYPT.dll)
string(TOUPPER "${allowed}" allowed)
foreach(line IN LISTS imports)
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(TOUPPER "${dll}" upper)
  if(NOT upper IN_LIST allowed)
    message(FATAL_ERROR "${PROGRAM} imports ${dll}")
  endif()
  message(STATUS "imports ${dll}")
endforeach()
