# The core must stay portable: no file under src/core may include a Windows header.
# Checked at configure time and again by the core_purity target before every core build.
set(PALISOR_PURITY_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/CheckCorePurity.cmake)
add_custom_target(core_purity
  COMMAND ${CMAKE_COMMAND} -DCORE_DIR=${CMAKE_SOURCE_DIR}/src/core -P ${PALISOR_PURITY_SCRIPT}
  COMMENT "Checking that the core includes no Windows header")
