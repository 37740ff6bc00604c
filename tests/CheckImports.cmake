# Fails unless the program imports at load time only DLLs that Windows always takes from the
# system directory: the KnownDLLs. The loader resolves load-time imports before the program can
# restrict the DLL search, so a DLL of any other name planted in the program's folder would run
# inside it. No MinGW runtime DLLs (it is linked statically); bcrypt, the common dialogs and HTML
# Help are loaded from the system directory when first needed.
# Arguments: -DOBJDUMP=<objdump> -DPROGRAM=<exe>
cmake_minimum_required(VERSION 3.20)
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} failed on ${PROGRAM}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
set(allowed ADVAPI32.dll GDI32.dll KERNEL32.dll msvcrt.dll USER32.dll)
# No KnownDLL: allowed only where the manifest's Common-Controls 6 dependency binds it to WinSxS.
file(STRINGS ${PROGRAM} common_controls LIMIT_COUNT 1
     REGEX "name=\"Microsoft\\.Windows\\.Common-Controls\"")
if(common_controls)
  list(APPEND allowed COMCTL32.dll)
endif()
string(TOUPPER "${allowed}" allowed)
foreach(line IN LISTS imports)
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(TOUPPER "${dll}" upper)
  if(NOT upper IN_LIST allowed)
    message(FATAL_ERROR "${PROGRAM} imports ${dll}")
  endif()
  message(STATUS "imports ${dll}")
endforeach()
