# The Windows build's command-line tool (under Wine) and a Linux build's, each exporting every task
# of the demo client: the same output tree, mirror and reports, the reports' folders and times aside.
#   cmake -DLINUX_CLI=... -DWINDOWS_CLI=... -DRUNNER=wine-run.sh -DCLIENT=... -DWORK=... -P this file
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

function(run_export label)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_FILE "${WORK}/${label}.out"
                  ERROR_FILE "${WORK}/${label}.err")
  if(NOT result EQUAL 0)
    file(READ "${WORK}/${label}.err" errors)
    message(FATAL_ERROR "the ${label} export ended with ${result}: ${errors}")
  endif()
endfunction()

run_export(linux "${LINUX_CLI}" export --client "${CLIENT}" --output "${WORK}/linux" --mirror-root
           "${WORK}/linux-mirror" --task all --select 0)
# Wine reads the host's / as drive Z:.
string(REPLACE "/" "\\" client "Z:${CLIENT}")
string(REPLACE "/" "\\" work "Z:${WORK}")
run_export(windows "${RUNNER}" "${WINDOWS_CLI}" export --client "${client}" --output "${work}\\windows"
           --mirror-root "${work}\\windows-mirror" --task all --select 0)

function(compare_trees linux windows)
  file(GLOB_RECURSE linux_files RELATIVE "${linux}" "${linux}/*")
  file(GLOB_RECURSE windows_files RELATIVE "${windows}" "${windows}/*")
  list(SORT linux_files)
  list(SORT windows_files)
  if(linux_files STREQUAL "" OR NOT linux_files STREQUAL windows_files)
    message(FATAL_ERROR "different files below ${linux} and ${windows}:\n${linux_files}\n${windows_files}")
  endif()
  set(reports 0)
  foreach(file IN LISTS linux_files)
    file(READ "${linux}/${file}" linux_text HEX)
    file(READ "${windows}/${file}" windows_text HEX)
    if(file MATCHES "export_report\\.json$")
      math(EXPR reports "${reports} + 1")
      file(READ "${linux}/${file}" linux_text)
      file(READ "${windows}/${file}" windows_text)
      foreach(side linux_text windows_text)
        string(REGEX REPLACE "\"(clientRoot|outputRoot|mirrorRoot|referenceFolder|start|end)\": \"[^\"]*\""
                             "\"\\1\": \"\"" ${side} "${${side}}")
      endforeach()
    endif()
    if(NOT linux_text STREQUAL windows_text)
      message(FATAL_ERROR "${file} differs between ${linux} and ${windows}")
    endif()
  endforeach()
  set(reports_found ${reports} PARENT_SCOPE)
endfunction()

compare_trees("${WORK}/linux" "${WORK}/windows")
if(NOT reports_found EQUAL 4)
  message(FATAL_ERROR "expected one report for each of the four tasks, found ${reports_found}")
endif()
compare_trees("${WORK}/linux-mirror" "${WORK}/windows-mirror")
