# cmake -DSDK=<sdk source directory> -P CheckIncludes.cmake
# The ways round the layers' include directories that a compiler would take:
# a header of a layer above named by a relative path ("../ui/..."), or by its
# name from the including file's own directory, and Qt Quick, Qml or Gui by
# their module directories, which Qt Core's include path also reaches. Fails
# naming every such include below the ui layer.
cmake_minimum_required(VERSION 3.16)

set(layers plugin hardware control ui)
set(violations "")
foreach(index RANGE 0 2)
  list(GET layers ${index} layer)
  math(EXPR above "${index} + 1")
  set(upper_headers "")
  foreach(upper_index RANGE ${above} 3)
    list(GET layers ${upper_index} upper)
    file(GLOB headers RELATIVE ${SDK}/${upper} ${SDK}/${upper}/*.h)
    list(APPEND upper_headers ${headers})
  endforeach()
  file(GLOB sources ${SDK}/${layer}/*.h ${SDK}/${layer}/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line ${includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*" "\\1" header "${line}")
      get_filename_component(name "${header}" NAME)
      if(header MATCHES "\\.\\./|^Qt(Quick|Qml|Gui)/" OR name IN_LIST upper_headers)
        list(APPEND violations "${source}: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()
if(violations)
  list(JOIN violations "\n" text)
  message(FATAL_ERROR "Includes that reach a layer above:\n${text}")
endif()
message(STATUS "Every include stays in its layer or below.")
