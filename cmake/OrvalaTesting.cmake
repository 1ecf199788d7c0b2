# orvala_add_gtest(NAME SOURCES... LIBRARIES... [LABELS ...])
#
# Every test case runs as its own process (gtest_discover_tests), and the shared
# test main gives each process a private temporary home: hostmsg folder, config
# and data folders. So cases run in parallel and never touch the user's settings.
set(ORVALA_LSAN_SUPPRESSIONS "${CMAKE_CURRENT_LIST_DIR}/lsan.supp")

function(orvala_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE orvala_testsupport ${ARG_LIBRARIES})
    gtest_discover_tests(${name}
        DISCOVERY_TIMEOUT 60
        PROPERTIES
            LABELS "${ARG_LABELS}"
            TIMEOUT 300
            ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LSAN_OPTIONS=suppressions=${ORVALA_LSAN_SUPPRESSIONS};UBSAN_OPTIONS=print_stacktrace=1;ORVALA_TEST_BINARY_DIR=${CMAKE_BINARY_DIR}")
endfunction()
