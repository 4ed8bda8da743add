# One library per folder, and an include path that follows the links: a library sees its own
# folder and the folders of the libraries it links, nothing else. Each folder is reached through
# a link of its own under build/include/<folder>/, so "#include "editing/x.h"" in a folder whose
# library doesn't link orbelan_editing is not found and the build stops there.

# Puts the folders (paths from the source root; the last part names the link) on the target's
# include path, through links under the build tree.
function(orbelan_include_folders target scope)
  foreach(folder ${ARGN})
    get_filename_component(name ${folder} NAME)
    string(REPLACE "/" "_" view_name ${folder})
    set(view ${CMAKE_BINARY_DIR}/include/${view_name})
    if(NOT IS_SYMLINK ${view}/${name})
      file(MAKE_DIRECTORY ${view})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${view}/${name} RESULT failed SYMBOLIC)
      if(failed)
        message(FATAL_ERROR "Cannot link ${view}/${name} to ${folder}: ${failed}")
      endif()
    endif()
    target_include_directories(${target} ${scope} ${view})
  endforeach()
endfunction()

# orbelan_<folder>: the folder's sources (and headers, for moc), its own folder on the include
# path of everything that links it, and the libraries below it (LINKS) linked publicly.
#   orbelan_folder_library(cleaning LINKS orbelan_core)
function(orbelan_folder_library folder)
  cmake_parse_arguments(arg "" "" "LINKS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.cpp
                                      ${PROJECT_SOURCE_DIR}/${folder}/*.h)
  # One implementation per system.
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "_win\\.(cpp|h)$")
  endif()
  add_library(orbelan_${folder} STATIC ${sources})
  orbelan_include_folders(orbelan_${folder} PUBLIC ${folder})
  if(arg_LINKS)
    target_link_libraries(orbelan_${folder} PUBLIC ${arg_LINKS})
  endif()
endfunction()
