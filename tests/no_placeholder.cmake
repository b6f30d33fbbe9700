# Fails when the game's code still carries a "Placeholder" mark: a piece left
# to be built for real. SOURCE_DIR is the tree to look through.
file(GLOB_RECURSE files ${SOURCE_DIR}/src/*)
set(bad "")
foreach(f ${files})
  file(STRINGS ${f} lines REGEX "Placeholder")
  foreach(l ${lines})
    list(APPEND bad "${f}: ${l}")
  endforeach()
endforeach()
if(bad)
  string(REPLACE ";" "\n" bad "${bad}")
  message(FATAL_ERROR "placeholders left in the code:\n${bad}")
endif()
