# The product's folders as libraries, in the one order in which they may use
# each other:
#
#   base  <-  description, launching  <-  dialogs  <-  launcher
#
# base is what every folder shares (text, error codes, the owners of handles,
# the wide-string bridge, the error box); description and launching stand side
# by side on it and do not use each other; dialogs uses both; launcher, the
# application, uses everything.
#
# Each folder is one static library of its portable code, tvn_<folder> (the
# .cpp files directly in the folder), and in Windows builds one of its Win32
# adapters, tvn_<folder>_win (the folder's win/ subfolder). A library links
# only the libraries of the folders below it, and it is compiled with an
# include root that holds its own folder and the folders below it and nothing
# else: <build>/layers/<folder>/, made of links to the source folders at
# configure time. A file that includes a header of a higher folder, or of its
# neighbour, therefore does not compile ("No such file or directory").
#
# The one definition of the libraries: the native trees (cmake/native.cmake),
# the Windows trees (cmake/windows.cmake) and the fuzz build
# (tests/fuzz/CMakeLists.txt) include this file, and scripts/lint.sh reads the
# source lists it writes. Before including it a build may set
#   TVN_ROOT               the repository (default: CMAKE_SOURCE_DIR);
#   TVN_LAYER_DEFINITIONS  compile definitions of every library here;
#   TVN_LAYER_OPTIONS      compile options of every library here;
#   TVN_LAYER_SYSTEM_LIBS  the system libraries that the Win32 adapters use.
# It sets
#   TVN_LAYERS             the folders, bottom first;
#   TVN_LAYER_LIBRARIES    the libraries it defined, bottom first;
#   TVN_LAYER_ROOT_<folder> the include root of each folder;
#   TVN_ENTRY_SOURCE       the Windows entry (launcher/win/main.cpp), which
#                          belongs to the executable, not to a library;
# and writes <build>/layers/sources-core.txt (and in Windows builds
# sources-win.txt): the product's sources, one path a line, relative to the
# repository.
if(NOT TVN_ROOT)
  set(TVN_ROOT ${CMAKE_SOURCE_DIR})
endif()

set(TVN_LAYERS base description launching dialogs launcher)
# The folders each folder uses directly.
set(TVN_LAYER_USES_base "")
set(TVN_LAYER_USES_description base)
set(TVN_LAYER_USES_launching base)
set(TVN_LAYER_USES_dialogs description launching)
set(TVN_LAYER_USES_launcher dialogs)
# Folders without code that a folder may include: the ids of the dialog
# templates (resources/resource.h) belong to the dialogs and to what is above
# them.
set(TVN_LAYER_EXTRA_dialogs resources)
set(TVN_LAYER_EXTRA_launcher resources)

set(TVN_ENTRY_SOURCE ${TVN_ROOT}/launcher/win/main.cpp)

# _tvn_layer_folders(<folder> <variable>): the folder and every folder below
# it, and the code-free folders it may include.
function(_tvn_layer_folders folder out)
  set(result ${folder} ${TVN_LAYER_EXTRA_${folder}})
  foreach(used ${TVN_LAYER_USES_${folder}})
    _tvn_layer_folders(${used} below)
    list(APPEND result ${below})
  endforeach()
  list(REMOVE_DUPLICATES result)
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# _tvn_include_root(<directory> <folders...>): a directory that holds a link
# to each of the given source folders and nothing else.
function(_tvn_include_root dir)
  set(folders ${ARGN})
  file(MAKE_DIRECTORY ${dir})
  file(GLOB present LIST_DIRECTORIES true RELATIVE ${dir} ${dir}/*)
  foreach(entry ${present})
    if(NOT entry IN_LIST folders)
      file(REMOVE ${dir}/${entry})  # a link: removes the link, never the folder
    endif()
  endforeach()
  foreach(folder ${folders})
    file(CREATE_LINK ${TVN_ROOT}/${folder} ${dir}/${folder} SYMBOLIC)
  endforeach()
endfunction()

# _tvn_layer_library(<name> <include root> <sources> <libraries used>)
function(_tvn_layer_library name root sources uses)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PRIVATE ${root})
  if(uses)
    target_link_libraries(${name} PUBLIC ${uses})
  endif()
  if(TVN_LAYER_DEFINITIONS)
    target_compile_definitions(${name} PRIVATE ${TVN_LAYER_DEFINITIONS})
  endif()
  if(TVN_LAYER_OPTIONS)
    target_compile_options(${name} PRIVATE ${TVN_LAYER_OPTIONS})
  endif()
endfunction()

set(TVN_LAYER_LIBRARIES "")
set(_tvn_core_list "")
set(_tvn_win_list "")
foreach(folder ${TVN_LAYERS})
  _tvn_layer_folders(${folder} visible)
  set(TVN_LAYER_ROOT_${folder} ${CMAKE_BINARY_DIR}/layers/${folder})
  _tvn_include_root(${TVN_LAYER_ROOT_${folder}} ${visible})

  set(core_uses "")
  set(win_uses "")
  foreach(used ${TVN_LAYER_USES_${folder}})
    list(APPEND core_uses tvn_${used})
    list(APPEND win_uses tvn_${used}_win)
  endforeach()

  file(GLOB core_sources CONFIGURE_DEPENDS ${TVN_ROOT}/${folder}/*.cpp)
  _tvn_layer_library(tvn_${folder} ${TVN_LAYER_ROOT_${folder}} "${core_sources}" "${core_uses}")
  list(APPEND TVN_LAYER_LIBRARIES tvn_${folder})
  list(APPEND _tvn_core_list ${core_sources})

  if(WIN32)
    file(GLOB win_sources CONFIGURE_DEPENDS ${TVN_ROOT}/${folder}/win/*.cpp)
    list(REMOVE_ITEM win_sources ${TVN_ENTRY_SOURCE})
    if(folder STREQUAL "base")
      list(APPEND win_uses ${TVN_LAYER_SYSTEM_LIBS})
    endif()
    _tvn_layer_library(tvn_${folder}_win ${TVN_LAYER_ROOT_${folder}} "${win_sources}" "tvn_${folder};${win_uses}")
    list(APPEND TVN_LAYER_LIBRARIES tvn_${folder}_win)
    list(APPEND _tvn_win_list ${win_sources})
  endif()
endforeach()

# The source lists that scripts/lint.sh checks.
function(_tvn_write_source_list file sources)
  set(content "")
  foreach(source ${sources})
    file(RELATIVE_PATH relative ${TVN_ROOT} ${source})
    string(APPEND content "${relative}\n")
  endforeach()
  file(WRITE ${CMAKE_BINARY_DIR}/layers/${file} "${content}")
endfunction()
_tvn_write_source_list(sources-core.txt "${_tvn_core_list}")
if(WIN32)
  _tvn_write_source_list(sources-win.txt "${_tvn_win_list};${TVN_ENTRY_SOURCE}")
endif()
