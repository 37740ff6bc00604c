# The files of a next version, for the upgrade test: FROM's programs and help in TO, the help
# with a line more.
#   cmake -DFROM=<folder> -DTO=<folder> -P NextVersion.cmake
file(REMOVE_RECURSE ${TO})
file(COPY ${FROM}/wardkeep.exe ${FROM}/wardkeepc.exe ${FROM}/wardkeep.chm DESTINATION ${TO})
file(APPEND ${TO}/wardkeep.chm "\nThe next version.\n")
