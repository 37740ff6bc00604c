# The time that the built files carry instead of the time they were built, so that two builds of
# one commit give the same bytes: SOURCE_DATE_EPOCH when the caller sets it, else the time of the
# commit checked out. Sets WARDKEEP_SOURCE_DATE_EPOCH (seconds since 1970, UTC) and
# WARDKEEP_SOURCE_DATE (the same as "YYYY-MM-DD hh:mm:ss UTC").
#
# A new commit reconfigures the build (the Git log is a configure dependency), so the time
# follows the checkout. Outside a Git checkout and without SOURCE_DATE_EPOCH the build tree keeps
# the time of its first configuration.

if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(WARDKEEP_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  find_package(Git QUIET)
  set(commit_time "")
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${CMAKE_SOURCE_DIR} log -1 --format=%ct
      OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
      RESULT_VARIABLE status ERROR_QUIET)
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${CMAKE_SOURCE_DIR} rev-parse --absolute-git-dir
      OUTPUT_VARIABLE git_dir OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT status EQUAL 0)
      set(commit_time "")
    elseif(EXISTS ${git_dir}/logs/HEAD)
      set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                   ${git_dir}/logs/HEAD)
    endif()
  endif()
  if(commit_time MATCHES "^[0-9]+$")
    set(WARDKEEP_SOURCE_DATE_EPOCH ${commit_time})
  else()
    if(NOT WARDKEEP_CONFIGURED_AT)
      string(TIMESTAMP now "%s" UTC)
      set(WARDKEEP_CONFIGURED_AT ${now} CACHE INTERNAL "When this build tree was first configured")
    endif()
    message(NOTICE "Neither a Git checkout nor SOURCE_DATE_EPOCH: the built files carry the time "
                   "this build tree was first configured.")
    set(WARDKEEP_SOURCE_DATE_EPOCH ${WARDKEEP_CONFIGURED_AT})
  endif()
endif()
if(NOT WARDKEEP_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH is not a number of seconds: ${WARDKEEP_SOURCE_DATE_EPOCH}")
endif()

# string(TIMESTAMP) gives the time of SOURCE_DATE_EPOCH when that is set.
set(saved "$ENV{SOURCE_DATE_EPOCH}")
set(ENV{SOURCE_DATE_EPOCH} ${WARDKEEP_SOURCE_DATE_EPOCH})
string(TIMESTAMP WARDKEEP_SOURCE_DATE "%Y-%m-%d %H:%M:%S UTC" UTC)
if(saved STREQUAL "")
  unset(ENV{SOURCE_DATE_EPOCH})
else()
  set(ENV{SOURCE_DATE_EPOCH} "${saved}")
endif()
