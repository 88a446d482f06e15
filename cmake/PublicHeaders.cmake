# tavrin_public_headers(<target> <PUBLIC|INTERFACE> <root> <files>...)
#
# Gives <target> an include folder of its own under the build tree that holds links to its
# own headers only, at the paths the code includes them by ("settings/ProfileStore.h" for
# <root>/settings/ProfileStore.h). Users of the library see those headers and no others, so a
# header of a library that is not linked cannot be included by mistake, and no #include line
# has to change when a folder becomes a library.
function(tavrin_public_headers target scope root)
  set(_include ${CMAKE_BINARY_DIR}/include/${target})
  # Built afresh at every configure: a header moved elsewhere leaves nothing behind.
  file(REMOVE_RECURSE ${_include})
  file(MAKE_DIRECTORY ${_include})
  foreach(_file ${ARGN})
    if(_file MATCHES "\\.h$")
      file(RELATIVE_PATH _relative ${root} ${_file})
      get_filename_component(_folder ${_include}/${_relative} DIRECTORY)
      file(MAKE_DIRECTORY ${_folder})
      file(CREATE_LINK ${_file} ${_include}/${_relative} SYMBOLIC COPY_ON_ERROR)
    endif()
  endforeach()
  target_include_directories(${target} ${scope} ${_include})
endfunction()
