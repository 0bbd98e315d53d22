# Makes kalvera-turntable's manual page from the program's own texts, so that
# it cannot tell other than the program does: help2man formats --help and
# --version, each command's --help follows in COMMANDS, and INCLUDE adds the
# sections no --help holds. Debian ships manual pages compressed.
#   cmake -DTOOL=<program> -DHELP2MAN=<help2man> -DINCLUDE=<file.h2m>
#         -DOUTPUT=<page.1.gz> -P ManPage.cmake
foreach(variable TOOL HELP2MAN INCLUDE OUTPUT)
  if(NOT ${variable})
    message(FATAL_ERROR "ManPage.cmake: ${variable} is not set")
  endif()
endforeach()

string(REGEX REPLACE "\\.gz$" "" page "${OUTPUT}")
set(sections "[COMMANDS]\n")
foreach(command list check rotate shoot)
  execute_process(COMMAND "${TOOL}" ${command} --help
    OUTPUT_VARIABLE help RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${TOOL} ${command} --help failed: ${status}")
  endif()
  # Verbatim in roff: a backslash is \e, and a line may not start a request.
  string(REPLACE "\\" "\\e" help "${help}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
  string(APPEND sections ".SS ${command}\n.nf\n${help}.fi\n")
endforeach()
file(READ "${INCLUDE}" static_sections)
file(WRITE "${page}.h2m" "${sections}${static_sections}")

execute_process(
  COMMAND "${HELP2MAN}" --no-info --no-discard-stderr --section=1
    "--name=turn a Kalvera turntable from scripts, and check its hardware"
    "--include=${page}.h2m" "--output=${page}" "${TOOL}"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "help2man failed: ${status}")
endif()
# -n: no name or time stamp in the file, so that builds are reproducible.
execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip ${page} failed: ${status}")
endif()
