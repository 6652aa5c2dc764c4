# Checks of morva-gen, run as `cmake -DMODE=... -DGEN=... -DMORVA=... -DDIR=... -P`.
#   MODE=repeat    same seed and options give the same bytes, plain and gzip;
#                  another seed gives another design; the gzip header has no
#                  mtime; the gzip file analyses to the same JSON as the plain.
#   MODE=analyse   morva loads and analyses a small generated design (LOOPS
#                  on or off) with status 0 and no console error, every clock
#                  timed against itself, and the loops reported only when on.
#   MODE=errors    bad options and unwritable outputs fail with status 2 and a
#                  message, writing nothing.

cmake_minimum_required(VERSION 3.25)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE output
                  ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}\n${output}\n${errors}")
  endif()
  set(output "${output}" PARENT_SCOPE)
  set(errors "${errors}" PARENT_SCOPE)
endfunction()

function(expect_same first second)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${first} ${second}
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${first} and ${second} differ")
  endif()
endfunction()

file(REMOVE_RECURSE ${DIR})
file(MAKE_DIRECTORY ${DIR})
set(options --edges 3000 --clocks 2 --depth 6 --fanin 3)

if(MODE STREQUAL "repeat")
  run(${GEN} ${options} --seed 11 -o ${DIR}/a.morva)
  run(${GEN} ${options} --seed 11 -o ${DIR}/b.morva)
  expect_same(${DIR}/a.morva ${DIR}/b.morva)
  # Standard output gives the same bytes as a file.
  run(${GEN} ${options} --seed 11)
  file(READ ${DIR}/a.morva text)
  if(NOT output STREQUAL text)
    message(FATAL_ERROR "standard output differs from the file")
  endif()

  run(${GEN} ${options} --seed 11 -o ${DIR}/a.morva.gz)
  run(${GEN} ${options} --seed 11 --gzip -o ${DIR}/b.gzip)
  expect_same(${DIR}/a.morva.gz ${DIR}/b.gzip)
  file(READ ${DIR}/a.morva.gz header LIMIT 8 HEX)
  if(NOT header STREQUAL "1f8b080000000000")
    message(FATAL_ERROR "gzip header ${header}: expected no flags and a zero mtime")
  endif()

  run(${GEN} ${options} --seed 12 -o ${DIR}/c.morva)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${DIR}/a.morva ${DIR}/c.morva
                  RESULT_VARIABLE status)
  if(status EQUAL 0)
    message(FATAL_ERROR "seeds 11 and 12 gave the same design")
  endif()

  # The compressed file holds the same design as the plain one. The JSON
  # names the archive: both go by the same name, in two directories.
  foreach(kind plain gzip)
    file(MAKE_DIRECTORY ${DIR}/${kind})
  endforeach()
  file(COPY_FILE ${DIR}/a.morva ${DIR}/plain/design)
  file(COPY_FILE ${DIR}/a.morva.gz ${DIR}/gzip/design)
  foreach(kind plain gzip)
    execute_process(COMMAND ${MORVA} -q --json ${DIR}/${kind}.json design
                    WORKING_DIRECTORY ${DIR}/${kind} RESULT_VARIABLE status OUTPUT_QUIET)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "morva failed (${status}) on the ${kind} design")
    endif()
  endforeach()
  expect_same(${DIR}/plain.json ${DIR}/gzip.json)
elseif(MODE STREQUAL "analyse")
  set(loops)
  if(LOOPS)
    set(loops --loops)
  endif()
  run(${GEN} --edges 2000 --clocks 2 --seed 3 ${loops} -o ${DIR}/design.morva)
  run(${MORVA} ${DIR}/design.morva)
  if(output MATCHES "Error:")
    message(FATAL_ERROR "console errors:\n${output}")
  endif()
  foreach(clock clk0 clk1)
    if(NOT output MATCHES "Reporting longest paths for domain ${clock}:Rising to ${clock}:Rising")
      message(FATAL_ERROR "no ${clock} to ${clock} paths:\n${output}")
    endif()
  endforeach()
  string(REGEX MATCHALL "Warning:[^\n]*" warnings "${output}")
  if(LOOPS)
    if(NOT warnings MATCHES "combinatorial loop")
      message(FATAL_ERROR "no loop reported: ${warnings}")
    endif()
  elseif(warnings)
    message(FATAL_ERROR "warnings without loops: ${warnings}")
  endif()
elseif(MODE STREQUAL "errors")
  function(expect_failure pattern)
    execute_process(COMMAND ${GEN} ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE output
                    ERROR_VARIABLE errors)
    if(NOT status EQUAL 2 OR NOT errors MATCHES "${pattern}")
      message(FATAL_ERROR "${ARGN}: status ${status}, expected 2 and a message matching "
                          "'${pattern}'\n${errors}")
    endif()
    if(output)
      message(FATAL_ERROR "${ARGN}: wrote a design although it failed")
    endif()
  endfunction()
  expect_failure("clocks" --clocks 5)
  expect_failure("edges" --edges 50)
  expect_failure("fanin" --fanin 0)
  expect_failure("bogus" --bogus)
  expect_failure("cannot create ${DIR}/missing/design.morva" -o ${DIR}/missing/design.morva)
  expect_failure("cannot create" -o ${DIR}/missing/design.morva.gz)
else()
  message(FATAL_ERROR "unknown MODE ${MODE}")
endif()
file(REMOVE_RECURSE ${DIR})
