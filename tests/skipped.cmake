# Run by ctest after the tests (CTEST_CUSTOM_POST_TEST, in CTestCustom.cmake): says after the
# summary why each skipped test, or each part of a test that was passed over, was skipped, from
# the tests' output in ctest's log.
#   cmake -DLOG=Testing/Temporary/LastTest.log -P skipped.cmake
if(NOT EXISTS "${LOG}")
    return()
endif()
file(STRINGS "${LOG}" lines)
set(test "")
set(reason_next OFF)
set(said "")
foreach(line IN LISTS lines)
    if(line MATCHES "^[0-9]+/[0-9]+ Testing: (.*)$")
        set(test "${CMAKE_MATCH_1}")
    elseif(reason_next)
        # GoogleTest's GTEST_SKIP: the reason follows its "Skipped" line.
        string(APPEND said "skipped: ${test}: ${line}\n")
        set(reason_next OFF)
    elseif(line MATCHES ": Skipped$")
        set(reason_next ON)
    elseif(line MATCHES "^skipped[ :]")
        string(APPEND said "${test}: ${line}\n")
    endif()
endforeach()
# On standard output, which ctest shows: its own messages go to standard error, which it does not.
if(said)
    string(STRIP "${said}" said)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "${said}")
endif()
