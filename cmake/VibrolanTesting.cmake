find_package(GTest REQUIRED)
include(GoogleTest)

# vibrolan_add_gtest(<name> SOURCES <files...> LIBS <targets...>)
# One GoogleTest executable per room; every TEST becomes its own ctest case.
# LABELS: ctest labels of every case (`threaded` for executables whose cases
# run threads, which the ThreadSanitizer job selects).
function(vibrolan_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    vibrolan_warnings(${name})
    if(ARG_LABELS)
        gtest_discover_tests(${name}
            WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
            DISCOVERY_TIMEOUT 60
            PROPERTIES LABELS "${ARG_LABELS}")
    else()
        gtest_discover_tests(${name}
            WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
            DISCOVERY_TIMEOUT 60)
    endif()
endfunction()
