find_package(GTest REQUIRED)
include(GoogleTest)

# vibrolan_add_gtest(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>])
# One GoogleTest executable per room; every TEST becomes its own ctest case.
# Tests that run threads carry the label "threaded" (the thread-sanitizer run
# takes those).
function(vibrolan_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/locale_from_environment.cpp)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    vibrolan_warnings(${name})
    set(_properties)
    if(ARG_LABELS)
        set(_properties PROPERTIES LABELS "${ARG_LABELS}")
    endif()
    gtest_discover_tests(${name}
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
        DISCOVERY_TIMEOUT 60
        ${_properties})
endfunction()
