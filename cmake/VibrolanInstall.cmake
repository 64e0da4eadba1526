# What other projects find after `cmake --install`: the libraries as
# Vibrolan::sigmath and Vibrolan::hostrt (find_package(Vibrolan)), and one
# pkg-config file per library. Both are relocatable: they locate the prefix
# from their own folder, so an installation may be moved or unpacked anywhere.
include(CMakePackageConfigHelpers)

set(VIBROLAN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Vibrolan)
install(EXPORT VibrolanTargets NAMESPACE Vibrolan:: DESTINATION ${VIBROLAN_CMAKE_DIR}
        FILE VibrolanTargets.cmake COMPONENT development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/templates/VibrolanConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/generated/VibrolanConfig.cmake
                              INSTALL_DESTINATION ${VIBROLAN_CMAKE_DIR})
# The libraries' SOVERSION is the major version: a newer minor release still fits.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/generated/VibrolanConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/generated/VibrolanConfig.cmake
              ${PROJECT_BINARY_DIR}/generated/VibrolanConfigVersion.cmake
        DESTINATION ${VIBROLAN_CMAKE_DIR} COMPONENT development)

# ${pcfiledir} is <prefix>/<libdir>/pkgconfig: the prefix is that many levels up.
set(_pcdir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH VIBROLAN_PC_PREFIX_FROM_PCDIR /${_pcdir} /)
string(REGEX REPLACE "/$" "" VIBROLAN_PC_PREFIX_FROM_PCDIR "${VIBROLAN_PC_PREFIX_FROM_PCDIR}")
foreach(_pc sigmath hostrt)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/templates/${_pc}.pc.in ${PROJECT_BINARY_DIR}/generated/${_pc}.pc @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/generated/${_pc}.pc DESTINATION ${_pcdir} COMPONENT development)
endforeach()
