# The readers' fuzz targets as part of the build and of CTest, when clang (with
# libFuzzer) is on the machine. They are built by clang in a build of their own
# (the game itself may be built by another compiler) and each runs briefly in
# CI over its seeds and every crash reproducer found so far. Only the readers
# are compiled there; the rest of the game is this build's own library.
option(VANTOREL_FUZZ "Build the readers' fuzz targets with clang and run them briefly in CTest" ON)
set(VANTOREL_FUZZ_SECONDS 5 CACHE STRING "Seconds each fuzz target runs in CTest after its reproducers")

find_program(VANTOREL_CLANGXX NAMES clang++ clang++-14)
find_program(VANTOREL_CLANG NAMES clang clang-14)
if(VANTOREL_FUZZ AND NOT VANTOREL_SANITIZE AND VANTOREL_CLANGXX AND VANTOREL_CLANG)
  include(ExternalProject)
  set(VANTOREL_FUZZ_DIR ${CMAKE_BINARY_DIR}/fuzz)
  ExternalProject_Add(fuzzers
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/fuzz
    BINARY_DIR ${VANTOREL_FUZZ_DIR}
    CMAKE_ARGS -DCMAKE_CXX_COMPILER=${VANTOREL_CLANGXX} -DCMAKE_C_COMPILER=${VANTOREL_CLANG}
               -DCMAKE_BUILD_TYPE=RelWithDebInfo
               -DVANTOREL_GAME_LIBRARY=$<TARGET_FILE:vantorel>
    DEPENDS vantorel
    BUILD_ALWAYS ON
    INSTALL_COMMAND "")
  if(VANTOREL_TESTS)
    foreach(reader xml effect_file mesh image bloom console rigid_track)
      add_test(NAME fuzz_${reader}
        COMMAND ${CMAKE_SOURCE_DIR}/fuzz/run.sh ${VANTOREL_FUZZ_DIR}/fuzz_${reader} ${reader}
                ${VANTOREL_FUZZ_SECONDS} -max_len=2048)
      set_tests_properties(fuzz_${reader} PROPERTIES TIMEOUT 120 LABELS fuzz)
    endforeach()
    # The character model files: a mesh seed alone is 22 KB.
    add_test(NAME fuzz_model
      COMMAND ${CMAKE_SOURCE_DIR}/fuzz/run.sh ${VANTOREL_FUZZ_DIR}/fuzz_model model
              ${VANTOREL_FUZZ_SECONDS} -max_len=32768)
    set_tests_properties(fuzz_model PROPERTIES TIMEOUT 120 LABELS fuzz)
    # The sound files: an Ogg Vorbis seed's headers alone are over 2 KB.
    add_test(NAME fuzz_sound
      COMMAND ${CMAKE_SOURCE_DIR}/fuzz/run.sh ${VANTOREL_FUZZ_DIR}/fuzz_sound sound
              ${VANTOREL_FUZZ_SECONDS} -max_len=8192)
    set_tests_properties(fuzz_sound PROPERTIES TIMEOUT 120 LABELS fuzz)
  endif()
elseif(VANTOREL_FUZZ AND NOT VANTOREL_SANITIZE)
  message(STATUS "clang not found: the fuzz targets are not built")
endif()
