# Compiles the help: copies the sources of SOURCE_DIR (pages, stylesheet, project, contents,
# index) into a fresh STAGING_DIR, checks that they agree, and runs CHMCMD there, which writes
# OUTPUT, the file that the project's "Compiled file" names in STAGING_DIR.
#   cmake -DSOURCE_DIR=<dir> -DSTAGING_DIR=<dir> -DOUTPUT=<file> -DCHMCMD=<chmcmd>
#         -P CompileHelp.cmake
cmake_minimum_required(VERSION 3.20)

# ---- A fresh copy, so that a page removed from the sources leaves nothing behind -----------

file(REMOVE_RECURSE ${STAGING_DIR})
file(GLOB sources ${SOURCE_DIR}/*.html ${SOURCE_DIR}/*.css ${SOURCE_DIR}/wardkeep.hh?)
file(COPY ${sources} DESTINATION ${STAGING_DIR})

# ---- The sources agree ----------------------------------------------------------------------
# Every page is in the project's [FILES] list and in the table of contents, and every page,
# stylesheet or link that the project, the contents, the index and the pages name exists.

file(GLOB pages RELATIVE ${STAGING_DIR} ${STAGING_DIR}/*.html)
file(STRINGS ${STAGING_DIR}/wardkeep.hhp project)
file(READ ${STAGING_DIR}/wardkeep.hhc contents)
file(READ ${STAGING_DIR}/wardkeep.hhk index)

set(problems "")
function(complain text)
  set(problems "${problems}\n  ${text}" PARENT_SCOPE)
endfunction()

# The [FILES] section: every line after its heading up to the next section; and the file that
# the compiler writes.
set(listed "")
set(in_files FALSE)
set(compiled "")
foreach(line IN LISTS project)
  string(STRIP "${line}" line)
  if(line MATCHES "^\\[")
    string(COMPARE EQUAL "${line}" "[FILES]" in_files)
  elseif(in_files AND NOT line STREQUAL "")
    list(APPEND listed "${line}")
  elseif(line MATCHES "^Compiled file=(.+)$")
    set(compiled ${STAGING_DIR}/${CMAKE_MATCH_1})
  endif()
endforeach()

# The values of the <param name="Local"> entries of a sitemap.
function(locals_of sitemap out)
  string(REGEX MATCHALL "name=\"Local\" value=\"[^\"]*\"" params "${sitemap}")
  set(result "")
  foreach(param IN LISTS params)
    string(REGEX REPLACE ".*value=\"([^\"]*)\"" "\\1" target "${param}")
    list(APPEND result "${target}")
  endforeach()
  set(${out} "${result}" PARENT_SCOPE)
endfunction()
locals_of("${contents}" in_contents)
locals_of("${index}" in_index)

foreach(page IN LISTS pages)
  if(NOT page IN_LIST listed)
    complain("${page} is missing from the [FILES] of wardkeep.hhp")
  endif()
  if(NOT page IN_LIST in_contents)
    complain("${page} is missing from the table of contents wardkeep.hhc")
  endif()
  # Links to other pages and to the stylesheet; anchors and addresses outside the help are not
  # files of the project.
  file(READ ${STAGING_DIR}/${page} text)
  string(REGEX MATCHALL "href=\"[^\"#:]+" links "${text}")
  foreach(link IN LISTS links)
    string(SUBSTRING "${link}" 6 -1 target)
    if(NOT EXISTS ${STAGING_DIR}/${target})
      complain("${page} links to ${target}, which does not exist")
    endif()
  endforeach()
endforeach()

foreach(target IN LISTS listed in_contents in_index)
  if(NOT EXISTS ${STAGING_DIR}/${target})
    complain("${target} is named by the help project, but does not exist")
  endif()
endforeach()
if(NOT "${compiled}" STREQUAL "${OUTPUT}")
  complain("wardkeep.hhp compiles \"${compiled}\", not \"${OUTPUT}\"")
endif()

if(NOT problems STREQUAL "")
  message(FATAL_ERROR "The help sources do not agree:${problems}")
endif()

# ---- Compiling ------------------------------------------------------------------------------
# chmcmd's exit status does not tell failure (a missing project gives 0): its output file does.
#
# The same sources give the same file: chmcmd also writes two bytes of memory that it never set
# (at the head of the keyword index's map), which are the same each run when the process's
# addresses are not randomised (setarch -R) and its environment is empty; and it writes the time
# of day twice, which is set to zero below.

find_program(ENV_PROGRAM env REQUIRED)
find_program(SETARCH setarch REQUIRED)
execute_process(COMMAND ${ENV_PROGRAM} -i ${SETARCH} -R ${CHMCMD} --verbosity 0 wardkeep.hhp
  WORKING_DIRECTORY ${STAGING_DIR}
  OUTPUT_VARIABLE log ERROR_VARIABLE log RESULT_VARIABLE status)
set(signature "")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} signature LIMIT 4 HEX)
endif()
if(NOT status EQUAL 0 OR NOT signature STREQUAL "49545346") # "ITSF"
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "chmcmd did not compile the help (status ${status}):\n${log}")
endif()

# ---- The times of day -----------------------------------------------------------------------
# In the file's header (at byte 16) and in the #SYSTEM file, whose entry 10 follows its version
# (3); no reader of the help uses either.

function(zero_four_bytes offset)
  execute_process(COMMAND dd if=/dev/zero of=${OUTPUT} bs=1 seek=${offset} count=4 conv=notrunc
                          status=none
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "Could not write ${OUTPUT}")
  endif()
endfunction()

file(READ ${OUTPUT} compiled HEX)
string(FIND "${compiled}" "030000000a000400" system_entry)
string(FIND "${compiled}" "030000000a000400" last_system_entry REVERSE)
math(EXPR system_entry_odd "${system_entry} % 2")
if(system_entry LESS 0 OR NOT system_entry EQUAL last_system_entry OR system_entry_odd)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "chmcmd wrote no single #SYSTEM time of day: a chmcmd that this build "
                      "does not know")
endif()
zero_four_bytes(16)
math(EXPR system_time "${system_entry} / 2 + 8")
zero_four_bytes(${system_time})
