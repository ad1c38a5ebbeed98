# The development install folder inside the build tree: the wrapper, the editor engine and the
# generic machines, laid out as an installer would, plus a system settings folder whose settings
# file points at it. Run the wrapper against it with
#   XDG_CONFIG_DIRS=<build>/dev-config <build>/dev-install/RigwrightWrapper
include_guard(GLOBAL)

# Cached so that every folder sees them, although this file is read once.
set(RIGWRIGHT_DEV_INSTALL_DIR "${CMAKE_BINARY_DIR}/dev-install" CACHE INTERNAL "")
set(RIGWRIGHT_DEV_CONFIG_DIR "${CMAKE_BINARY_DIR}/dev-config" CACHE INTERNAL "")

file(MAKE_DIRECTORY "${RIGWRIGHT_DEV_INSTALL_DIR}")
file(WRITE "${RIGWRIGHT_DEV_CONFIG_DIR}/Orvane/Orvane Rigwright for Mastercam.conf"
     "Directory=${RIGWRIGHT_DEV_INSTALL_DIR}/\n")

# Mirrors data/Generic Machines at every build; the folder may not exist yet.
add_custom_target(rigwright_dev_install_machines ALL
  COMMAND ${CMAKE_COMMAND}
          "-DSOURCE=${CMAKE_SOURCE_DIR}/data/Generic Machines"
          "-DTARGET=${RIGWRIGHT_DEV_INSTALL_DIR}/Generic Machines"
          -P "${CMAKE_SOURCE_DIR}/cmake/MirrorFolder.cmake"
  COMMENT "Staging the generic machines in the development install folder")

# Builds `target` straight into the development install folder.
function(rigwright_stage_in_dev_install target)
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY "${RIGWRIGHT_DEV_INSTALL_DIR}"
    LIBRARY_OUTPUT_DIRECTORY "${RIGWRIGHT_DEV_INSTALL_DIR}")
endfunction()

# Lets the tests of `target` find the development install folder and its settings.
function(rigwright_use_dev_install target)
  target_compile_definitions(${target} PRIVATE
    RIGWRIGHT_DEV_INSTALL_DIR="${RIGWRIGHT_DEV_INSTALL_DIR}"
    RIGWRIGHT_DEV_CONFIG_DIR="${RIGWRIGHT_DEV_CONFIG_DIR}")
  add_dependencies(${target} rigwright_dev_install_machines)
endfunction()
