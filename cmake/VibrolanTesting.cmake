find_package(GTest REQUIRED)
include(GoogleTest)

# vibrolan_add_gtest(<name> SOURCES <files...> LIBS <targets...>)
# One GoogleTest executable per room; every TEST becomes its own ctest case.
function(vibrolan_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/locale_from_environment.cpp)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    vibrolan_warnings(${name})
    gtest_discover_tests(${name}
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
        DISCOVERY_TIMEOUT 60)
endfunction()
