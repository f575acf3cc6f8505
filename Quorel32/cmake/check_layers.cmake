# The engine's folders are layers: a source may include headers of its own folder and
# of folders below it, never above. Run as
#   cmake -DROOT=<engine source dir> -P check_layers.cmake
# Fails, listing each offending include, when one reaches upwards, reaches a folder
# outside the layers, or names a header that does not exist.
set(LAYERS include base keys registry eval compiler api)
list(JOIN LAYERS " < " ORDER)

if(NOT ROOT)
  message(FATAL_ERROR "ROOT not given")
endif()
get_filename_component(ROOT "${ROOT}" ABSOLUTE)

# Folders holding sources must all be layers, so a new folder cannot slip past the check.
file(GLOB entries RELATIVE "${ROOT}" "${ROOT}/*")
foreach(entry IN LISTS entries)
  if(IS_DIRECTORY "${ROOT}/${entry}" AND NOT entry MATCHES "^(tests|cmake)$")
    file(GLOB_RECURSE stray "${ROOT}/${entry}/*.h" "${ROOT}/${entry}/*.cpp")
    list(FIND LAYERS "${entry}" known)
    if(stray AND known EQUAL -1)
      list(APPEND faults "folder ${entry} is not one of the layers (${ORDER})")
    endif()
  endif()
endforeach()

# Layer of an absolute path inside ROOT, or -1.
function(layer_of path out)
  file(RELATIVE_PATH rel "${ROOT}" "${path}")
  string(REGEX REPLACE "/.*" "" top "${rel}")
  if(rel STREQUAL top)  # directly in ROOT
    set(${out} -1 PARENT_SCOPE)
    return()
  endif()
  list(FIND LAYERS "${top}" idx)
  set(${out} ${idx} PARENT_SCOPE)
endfunction()

foreach(layer IN LISTS LAYERS)
  file(GLOB_RECURSE sources "${ROOT}/${layer}/*.h" "${ROOT}/${layer}/*.cpp")
  list(FIND LAYERS "${layer}" own)
  foreach(src IN LISTS sources)
    get_filename_component(dir "${src}" DIRECTORY)
    file(STRINGS "${src}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*" "\\1" inc "${line}")
      # Resolved as the compiler would: beside the source, then the public header folder.
      get_filename_component(target "${dir}/${inc}" ABSOLUTE)
      if(NOT EXISTS "${target}")
        get_filename_component(target "${ROOT}/include/${inc}" ABSOLUTE)
      endif()
      file(RELATIVE_PATH where "${ROOT}" "${src}")
      if(NOT EXISTS "${target}")
        list(APPEND faults "${where}: \"${inc}\" not found")
        continue()
      endif()
      layer_of("${target}" theirs)
      if(theirs EQUAL -1 OR theirs GREATER own)
        list(APPEND faults "${where}: \"${inc}\" is above or outside layer ${layer}")
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "includes against the layer order (${ORDER}):\n  ${text}")
endif()
message(STATUS "layers in order: ${ORDER}")
