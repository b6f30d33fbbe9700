# cmake -DFROM=<folder> -DTO=<folder> -P CopyChanged.cmake
#
# Lays every file of FROM into TO, leaving alone each file TO already holds
# with the same bytes. A build runs this at every pass over the game's working
# folder while a game or a test may be reading it: a file rewritten in place
# with what it already held could be read half written. A file that did change
# is written beside its place and renamed over it, so a reader sees the old
# file or the new one whole.
if(NOT IS_DIRECTORY "${FROM}")
  message(FATAL_ERROR "CopyChanged: no folder ${FROM}")
endif()
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${FROM}" "${FROM}/*")
set(copied 0)
foreach(name IN LISTS files)
  set(source "${FROM}/${name}")
  set(target "${TO}/${name}")
  if(EXISTS "${target}" AND NOT IS_DIRECTORY "${target}")
    file(SIZE "${source}" source_size)
    file(SIZE "${target}" target_size)
    if(source_size EQUAL target_size)
      file(SHA256 "${source}" source_hash)
      file(SHA256 "${target}" target_hash)
      if(source_hash STREQUAL target_hash)
        continue()
      endif()
    endif()
  endif()
  get_filename_component(folder "${target}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  file(COPY_FILE "${source}" "${target}.copying")
  file(RENAME "${target}.copying" "${target}")
  math(EXPR copied "${copied} + 1")
endforeach()
message(STATUS "${TO}: ${copied} files laid")
