# The Windows programs carry their application manifest as RT_MANIFEST (type 24) resource 1, the one
# the loader reads: run as the invoker, per-monitor (v2) DPI aware, Windows 10/11 among the supported
# systems, and themed common controls; and the version resource Explorer's Properties show, at the
# project's version. cmake -DEXES=a.exe,b.exe -DVERSION=x.y.z -P check_manifest.cmake
cmake_minimum_required(VERSION 3.25)
find_program(WINDRES NAMES x86_64-w64-mingw32-windres windres REQUIRED)
string(REPLACE "," ";" EXES "${EXES}")
foreach(exe IN LISTS EXES)
  if(NOT EXISTS "${exe}")
    message(FATAL_ERROR "${exe} is missing: build the mingw preset first")
  endif()
  # windres reads the image's .rsrc and writes it back as a resource script, text as quoted lines.
  execute_process(COMMAND ${WINDRES} -i "${exe}" -O rc OUTPUT_VARIABLE script RESULT_VARIABLE failed
                  ERROR_VARIABLE errors)
  if(failed)
    message(FATAL_ERROR "${WINDRES} -i ${exe} failed: ${errors}")
  endif()
  string(REGEX MATCHALL "\n[^\n]* 24 /\\* RT_MANIFEST \\*/\n" manifests "${script}")
  list(LENGTH manifests count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "${exe} has ${count} RT_MANIFEST resources, not one:\n${manifests}")
  endif()
  if(NOT manifests MATCHES "^\n1 24 ")
    message(FATAL_ERROR "${exe}: the manifest is not resource 1, which the loader reads: ${manifests}")
  endif()
  string(REGEX MATCH "\n1 24 /\\* RT_MANIFEST \\*/\nBEGIN\n.*\nEND\n" manifest "${script}")
  string(FIND "${manifest}" "\nEND\n" end)
  string(SUBSTRING "${manifest}" 0 ${end} manifest)
  string(REPLACE "\"\"" "\"" manifest "${manifest}")  # the script doubles quotes inside strings
  foreach(needed
      "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"
      "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>"
      "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2</dpiAwareness>"
      "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>"
      "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"")
    string(FIND "${manifest}" "${needed}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${exe}: the manifest lacks ${needed}\n${manifest}")
    endif()
  endforeach()

  # windres writes the version resource back as "FILEVERSION a, b, c, d" lines and VALUE "Name", "text".
  get_filename_component(name "${exe}" NAME)
  string(REPLACE "." ", " numbers "${VERSION}")
  foreach(needed
      "FILEVERSION ${numbers}, 0" "PRODUCTVERSION ${numbers}, 0"
      "VALUE \"FileVersion\", \"${VERSION}\"" "VALUE \"ProductVersion\", \"${VERSION}\""
      "VALUE \"ProductName\", \"Padwright\"" "VALUE \"OriginalFilename\", \"${name}\""
      "VALUE \"FileDescription\", \"Padwright " "VALUE \"LegalCopyright\", \"Copyright (C) ")
    string(FIND "${script}" "${needed}" at)
    if(at EQUAL -1)
      string(REGEX MATCH "[^\n]*VERSIONINFO\n.*" version "${script}")
      message(FATAL_ERROR "${exe}: the version resource lacks ${needed}\n${version}")
    endif()
  endforeach()
  message(STATUS "${exe}: manifest resource 1 and version ${VERSION} as expected")
endforeach()
