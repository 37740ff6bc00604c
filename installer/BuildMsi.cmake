# Builds the Windows Installer package from a staging folder, the same bytes each time for the
# same files:
#   cmake -DWIXL=<wixl> -DMSIBUILD=<msibuild> -DWXS=<wardkeep.wxs> -DICON=<wardkeep.ico>
#         -DSTAGE=<folder with Wardkeep/wardkeep.exe, wardkeepc.exe, wardkeep.chm>
#         -DVERSION=<1.0.0> -DEPOCH=<seconds> -DOUTPUT=<.msi> [-DSIGN=<sign.sh>]
#         -P BuildMsi.cmake
#
# wixl takes the package code (the summary information's revision number) and the creation and
# save times from the clock, whatever the source says. They are set afterwards: the times to
# EPOCH, the package code derived from the version and from what the package carries, so that
# two packages share a code only when they are the same package. The product code is derived
# from the version alone: each version is one product, and the UpgradeCode (in the .wxs) ties
# them together.
cmake_minimum_required(VERSION 3.20)

foreach(variable WIXL MSIBUILD WXS ICON STAGE VERSION EPOCH OUTPUT)
  if("${${variable}}" STREQUAL "")
    message(FATAL_ERROR "BuildMsi.cmake: ${variable} is not set")
  endif()
endforeach()

file(READ ${WXS} source)
if(NOT source MATCHES "UpgradeCode=\"([0-9A-F-]+)\"")
  message(FATAL_ERROR "${WXS} names no UpgradeCode")
endif()
set(upgrade_code ${CMAKE_MATCH_1})

set(carried "")
foreach(file wardkeep.exe wardkeepc.exe wardkeep.chm)
  file(SHA256 ${STAGE}/Wardkeep/${file} hash)
  string(APPEND carried " ${file}=${hash}")
endforeach()
string(UUID product_code NAMESPACE ${upgrade_code} NAME "Wardkeep ${VERSION} x64" TYPE SHA1 UPPER)
string(UUID package_code NAMESPACE ${upgrade_code} NAME "Wardkeep ${VERSION} x64${carried}"
       TYPE SHA1 UPPER)

# wixl finds the sources relative to the .wxs: both go into the staging folder.
file(COPY ${WXS} DESTINATION ${STAGE})
configure_file(${ICON} ${STAGE}/wardkeep.ico COPYONLY)
get_filename_component(wxs_name ${WXS} NAME)
set(built ${OUTPUT}.part)
file(REMOVE ${built})
execute_process(
  COMMAND ${WIXL} -a x64 -D Version=${VERSION} -D ProductCode=${product_code} -o ${built}
          ${wxs_name}
  WORKING_DIRECTORY ${STAGE}
  RESULT_VARIABLE status OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT status EQUAL 0 OR NOT EXISTS ${built})
  message(FATAL_ERROR "wixl did not build ${OUTPUT} (status ${status}):\n${log}")
endif()

# The summary information, as a table that msibuild imports over what wixl wrote.
set(ENV{SOURCE_DATE_EPOCH} ${EPOCH})
string(TIMESTAMP built_at "%Y/%m/%d %H:%M:%S" UTC)
set(summary_dir ${STAGE}/summary)
file(REMOVE_RECURSE ${summary_dir})
file(WRITE ${summary_dir}/_SummaryInformation.idt
  "PropertyId\tValue\r\ni2\tl255\r\n_SummaryInformation\tPropertyId\r\n"
  "9\t{${package_code}}\r\n12\t${built_at}\r\n13\t${built_at}\r\n")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${MSIBUILD} ${built} -i _SummaryInformation.idt
  WORKING_DIRECTORY ${summary_dir}
  RESULT_VARIABLE status OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "msibuild could not set the summary information of ${OUTPUT}:\n${log}")
endif()

if(SIGN)
  execute_process(COMMAND bash ${SIGN} ${built} "Wardkeep ${VERSION}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    file(REMOVE ${built})
    message(FATAL_ERROR "Could not sign ${OUTPUT}")
  endif()
endif()
file(RENAME ${built} ${OUTPUT})
