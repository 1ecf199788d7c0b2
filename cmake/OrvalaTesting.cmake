# orvala_add_gtest(NAME [WIDGETS] SOURCES... LIBRARIES... [LABELS ...])
# WIDGETS: the test drives widgets, under a QApplication on the offscreen platform.
#
# Every test case runs as its own process (gtest_discover_tests), and the shared
# test main gives each process a private temporary home: hostmsg folder, config
# and data folders. So cases run in parallel and never touch the user's settings.
set(ORVALA_LSAN_SUPPRESSIONS "${CMAKE_CURRENT_LIST_DIR}/lsan.supp")

function(orvala_add_gtest name)
    cmake_parse_arguments(ARG "WIDGETS" "" "SOURCES;LIBRARIES;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    if(ARG_WIDGETS)
        target_link_libraries(${name} PRIVATE orvala_testsupport_gui ${ARG_LIBRARIES})
    else()
        target_link_libraries(${name} PRIVATE orvala_testsupport ${ARG_LIBRARIES})
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_TIMEOUT 60
        TEST_LIST ${name}_TESTS
        PROPERTIES TIMEOUT 300)
    # gtest_discover_tests (CMake 3.25) hands every list element on as a property
    # of its own, so an ENVIRONMENT or LABELS list passed there keeps only its
    # first element. List-valued properties are set once the tests are known.
    set(properties_file "${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake")
    file(WRITE "${properties_file}"
        "if(${name}_TESTS)\n"
        "  set_tests_properties(\${${name}_TESTS} PROPERTIES\n"
        "    LABELS [==[${ARG_LABELS}]==]\n"
        "    ENVIRONMENT [==[QT_QPA_PLATFORM=offscreen;LSAN_OPTIONS=suppressions=${ORVALA_LSAN_SUPPRESSIONS};UBSAN_OPTIONS=print_stacktrace=1;ORVALA_TEST_BINARY_DIR=${CMAKE_BINARY_DIR}]==])\n"
        "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${properties_file}")
endfunction()
