# cmake -DROOT=<repository> -P check_include_order.cmake
#
# Fails when a file includes a header from a folder that depends on it.
# The folders in their order, each above the ones before it; wizard and
# ribbon stand side by side and know nothing of each other:
#   support -> office -> outlook -> engine -> wizard | ribbon -> addin -> apps
# A folder's win32/ and posix/ files count as the folder's own.
cmake_minimum_required(VERSION 3.25)
set(layers support office outlook engine wizard ribbon addin apps)
set(rank_support 0)
set(rank_office 1)
set(rank_outlook 2)
set(rank_engine 3)
set(rank_wizard 4)
set(rank_ribbon 4)
set(rank_addin 5)
set(rank_apps 6)

set(violations "")
foreach(layer IN LISTS layers)
  if(layer STREQUAL "apps")
    set(dir "${ROOT}/apps")
  else()
    set(dir "${ROOT}/src/${layer}")
  endif()
  file(GLOB_RECURSE files "${dir}/*.h" "${dir}/*.cpp")
  foreach(file IN LISTS files)
    file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[a-z0-9_]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[^\"]*\"([a-z0-9_]+)/([^\"]*)\".*" "\\1;\\2" parts "${line}")
      list(GET parts 0 target)
      list(GET parts 1 header)
      file(RELATIVE_PATH shown "${ROOT}" "${file}")
      if(NOT DEFINED rank_${target})
        list(APPEND violations "${shown}: \"${target}/${header}\" is no folder of src/")
      elseif(rank_${target} GREATER rank_${layer}
             OR (rank_${target} EQUAL rank_${layer} AND NOT target STREQUAL layer))
        list(APPEND violations "${shown}: includes \"${target}/${header}\" from above ${layer}")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "Includes against the order of the folders:\n  ${text}")
endif()
message(STATUS "Every include goes down the order of the folders.")
