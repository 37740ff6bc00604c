# Writes the SHA-256 checksums of the packages, in the order given, as sha256sum writes them
# (and sha256sum -c checks them in the packages' folder):
#   cmake -DOUTPUT=<SHA256SUMS> -P Checksums.cmake PACKAGE...
cmake_minimum_required(VERSION 3.20)

set(lines "")
set(after_script FALSE)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(index RANGE 1 ${last})
  set(argument "${CMAKE_ARGV${index}}")
  if(after_script)
    file(SHA256 ${argument} hash)
    get_filename_component(name ${argument} NAME)
    string(APPEND lines "${hash}  ${name}\n")
  elseif(argument STREQUAL "-P")
    # The script's own name follows.
    math(EXPR script_index "${index} + 1")
  elseif(DEFINED script_index AND index EQUAL script_index)
    set(after_script TRUE)
  endif()
endforeach()
if(lines STREQUAL "")
  message(FATAL_ERROR "Checksums.cmake: no packages given")
endif()
file(WRITE ${OUTPUT} "${lines}")
