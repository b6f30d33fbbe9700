# Starts test programs from an empty folder of their own, each with the filter
# of its tests that write files by relative names, and fails if anything
# appears there: what a test writes belongs in its program's scratch folder,
# whichever folder the program is started from (the project's root among them).
#   cmake -DFOLDER=<where to start them> -P writes_stay_in_scratch.cmake -- <program> <filter> ...
set(runs "")
set(past_dashes FALSE)
math(EXPR last_argument "${CMAKE_ARGC} - 1")
foreach(i RANGE ${last_argument})
  if(past_dashes)
    list(APPEND runs "${CMAKE_ARGV${i}}")
  elseif("${CMAKE_ARGV${i}}" STREQUAL "--")
    set(past_dashes TRUE)
  endif()
endforeach()
list(LENGTH runs count)
math(EXPR odd "${count} % 2")
if(count EQUAL 0 OR odd)
  message(FATAL_ERROR "give each program with its filter")
endif()

math(EXPR last "${count} - 2")
foreach(at RANGE 0 ${last} 2)
  math(EXPR next "${at} + 1")
  list(GET runs ${at} program)
  list(GET runs ${next} filter)
  get_filename_component(name ${program} NAME)
  set(folder ${FOLDER}/${name})
  file(REMOVE_RECURSE ${folder})
  file(MAKE_DIRECTORY ${folder})
  execute_process(COMMAND ${program} --gtest_filter=${filter}
                  WORKING_DIRECTORY ${folder}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${name} --gtest_filter=${filter} failed (${result}):\n${output}")
  endif()
  # A filter that names no test would prove nothing.
  if(NOT output MATCHES "\\[  PASSED  \\] [1-9][0-9]* test")
    message(FATAL_ERROR "${name} --gtest_filter=${filter} ran no test:\n${output}")
  endif()
  file(GLOB_RECURSE left LIST_DIRECTORIES true RELATIVE ${folder} ${folder}/*)
  if(left)
    string(REPLACE ";" "\n  " left "${left}")
    message(FATAL_ERROR "${name} started in ${folder} wrote there:\n  ${left}")
  endif()
  file(REMOVE_RECURSE ${folder})
  message(STATUS "${name} --gtest_filter=${filter}: nothing written where it was started")
endforeach()
