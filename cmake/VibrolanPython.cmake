# The Python of the module and of the Python tests: Debian's /usr/bin/python3
# (with numpy, h5py, pandas, matplotlib, pytest from Debian packages), even when
# another python3 comes first on PATH. Give -DPython3_EXECUTABLE=... to choose another.
if(NOT DEFINED Python3_EXECUTABLE AND EXISTS /usr/bin/python3)
    set(Python3_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "Python of the vibrolan module and its tests")
endif()
# pybind11's own search follows the same interpreter.
if(Python3_EXECUTABLE)
    set(Python_EXECUTABLE ${Python3_EXECUTABLE} CACHE FILEPATH "" FORCE)
    set(PYTHON_EXECUTABLE ${Python3_EXECUTABLE} CACHE FILEPATH "" FORCE)
endif()
find_package(Python3 COMPONENTS Interpreter Development.Module)

# vibrolan_add_pytest(<name> <file> [ENVIRONMENT var=value...])
# One ctest case per pytest file, run by that interpreter.
function(vibrolan_add_pytest name file)
    cmake_parse_arguments(ARG "" "" "ENVIRONMENT" ${ARGN})
    if(NOT Python3_Interpreter_FOUND)
        return()
    endif()
    add_test(NAME ${name}
             COMMAND ${Python3_EXECUTABLE} -m pytest -q -p no:cacheprovider ${file}
             WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT};PYTHONDONTWRITEBYTECODE=1")
endfunction()
