# Fails unless the program imports only DLLs that every Windows has: no MinGW runtime DLLs
# (it is linked statically) and no HTML Help at load time (it is loaded when help is asked for).
# Arguments: -DOBJDUMP=<objdump> -DPROGRAM=<exe>
cmake_minimum_required(VERSION 3.20)
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} failed on ${PROGRAM}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
set(allowed ADVAPI32.dll COMCTL32.dll KERNEL32.dll msvcrt.dll USER32.dll GDI32.dll COMDLG32.dll
            BCRYPT.dll SHELL32.dll)
string(TOUPPER "${allowed}" allowed)
foreach(line IN LISTS imports)
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(TOUPPER "${dll}" upper)
  if(NOT upper IN_LIST allowed)
    message(FATAL_ERROR "${PROGRAM} imports ${dll}")
  endif()
  message(STATUS "imports ${dll}")
endforeach()
