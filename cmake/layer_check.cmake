# Checks the include root of one product folder (cmake/layers.cmake); run by
# the native tree's tests layers.<folder> as
#
#   cmake -DTVN_ROOT=<repository> -DLAYER=<folder> -DINCLUDE_ROOT=<root>
#         -DCOMPILER=<c++> -DWORK_DIR=<scratch folder> -P cmake/layer_check.cmake
#
# - The root holds exactly the folders that the order below allows.
# - Every header that the folder may include is found from the root: the
#   portable headers of its own folder and of the folders below it compile
#   together, and their Win32 headers and the code-free headers are found
#   (this host has no windows.h to compile those with).
# - A file that includes any header of a folder the root does not hold (a
#   higher folder, or a neighbour) does not compile, and the reason is that the
#   header is not found.
# - No file of the folder reaches out of it with a relative include ("../"),
#   which the quoted form would resolve beside the file, past the root.
cmake_minimum_required(VERSION 3.20)

foreach(argument TVN_ROOT LAYER INCLUDE_ROOT COMPILER WORK_DIR)
  if(NOT ${argument})
    message(FATAL_ERROR "layer_check.cmake: ${argument} is not given")
  endif()
endforeach()

# The order the product keeps, base <- description, launching <- dialogs <-
# launcher, written out here once more: a change of cmake/layers.cmake that
# loosened it fails this check. resources holds the ids of the dialog
# templates, for the dialogs and what is above them.
set(folders base description launching dialogs launcher resources)
set(expected_base base)
set(expected_description base description)
set(expected_launching base launching)
set(expected_dialogs base description launching dialogs resources)
set(expected_launcher base description launching dialogs launcher resources)
if(NOT DEFINED expected_${LAYER})
  message(FATAL_ERROR "layer_check.cmake: ${LAYER} is no product folder")
endif()
set(visible ${expected_${LAYER}})

set(errors "")
file(GLOB held LIST_DIRECTORIES true RELATIVE ${INCLUDE_ROOT} ${INCLUDE_ROOT}/*)
list(SORT held)
set(wanted ${visible})
list(SORT wanted)
if(NOT held STREQUAL wanted)
  list(JOIN held ", " held_text)
  list(JOIN wanted ", " wanted_text)
  list(APPEND errors "the include root ${INCLUDE_ROOT} holds ${held_text}; ${LAYER} may use ${wanted_text}")
endif()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

# compile(<source> <result variable> <output variable>)
function(compile source result output)
  execute_process(COMMAND ${COMPILER} -std=c++17 -fsyntax-only -I ${INCLUDE_ROOT} ${source}
                  RESULT_VARIABLE status OUTPUT_VARIABLE text ERROR_VARIABLE text)
  set(${result} ${status} PARENT_SCOPE)
  set(${output} "${text}" PARENT_SCOPE)
endfunction()

# What the folder may include.
set(allowed "")
set(allowed_count 0)
foreach(folder ${visible})
  file(GLOB portable RELATIVE ${TVN_ROOT} ${TVN_ROOT}/${folder}/*.h)
  file(GLOB_RECURSE all_headers RELATIVE ${TVN_ROOT} ${TVN_ROOT}/${folder}/*.h)
  foreach(header ${all_headers})
    if(header IN_LIST portable AND NOT folder STREQUAL "resources")
      string(APPEND allowed "#include \"${header}\"\n")
    else()
      string(APPEND allowed "#if !__has_include(\"${header}\")\n#error \"${header} is not found\"\n#endif\n")
    endif()
    math(EXPR allowed_count "${allowed_count} + 1")
  endforeach()
endforeach()
if(allowed_count EQUAL 0)
  list(APPEND errors "no header of ${visible} was found to check")
else()
  file(WRITE ${WORK_DIR}/allowed.cpp "${allowed}")
  compile(${WORK_DIR}/allowed.cpp status output)
  if(NOT status EQUAL 0)
    list(APPEND errors "the headers that ${LAYER} may include do not compile from its root:\n${output}")
  endif()
endif()

# What it may not: one file per header of every other folder.
set(refused_count 0)
foreach(folder ${folders})
  if(folder IN_LIST visible)
    continue()
  endif()
  file(GLOB_RECURSE headers RELATIVE ${TVN_ROOT} ${TVN_ROOT}/${folder}/*.h)
  foreach(header ${headers})
    string(MAKE_C_IDENTIFIER ${header} name)
    set(source ${WORK_DIR}/wrong_${name}.cpp)
    file(WRITE ${source} "#include \"${header}\"\n")
    compile(${source} status output)
    string(FIND "${output}" "${header}" named)
    if(status EQUAL 0)
      list(APPEND errors "${LAYER} can include ${header}, a header of ${folder}")
    elseif(named EQUAL -1 OR NOT output MATCHES "No such file|file not found")
      list(APPEND errors "including ${header} from ${LAYER} fails, but not because it is not found:\n${output}")
    endif()
    math(EXPR refused_count "${refused_count} + 1")
  endforeach()
endforeach()

# Relative includes that leave the folder.
file(GLOB_RECURSE own_files ${TVN_ROOT}/${LAYER}/*.h ${TVN_ROOT}/${LAYER}/*.cpp)
foreach(file ${own_files})
  file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">]*\\.\\.")
  foreach(line ${lines})
    list(APPEND errors "${file}: relative include out of the folder: ${line}")
  endforeach()
endforeach()

if(errors)
  string(REPLACE ";" "\n" report "${errors}")
  message(FATAL_ERROR "${report}")
endif()
message(STATUS "${LAYER}: ${allowed_count} headers found, ${refused_count} headers of other folders refused")
