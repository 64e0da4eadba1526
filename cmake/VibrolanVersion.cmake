# The generated version header (build tree only; the libraries report the
# version through their own functions, so nothing installed includes it).
set(VIBROLAN_GENERATED_INCLUDE_DIR ${PROJECT_BINARY_DIR}/generated/include)
configure_file(${CMAKE_CURRENT_LIST_DIR}/templates/version.h.in
               ${VIBROLAN_GENERATED_INCLUDE_DIR}/vibrolan/version.h @ONLY)
add_library(vibrolan_version INTERFACE)
target_include_directories(vibrolan_version INTERFACE $<BUILD_INTERFACE:${VIBROLAN_GENERATED_INCLUDE_DIR}>)
