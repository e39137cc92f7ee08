# The product's one version number is the project's VERSION. It goes into the version resource of
# each binary (palisor_version_resource), the about tab (ProductInfo.h) and the installer.
set(PALISOR_PUBLISHER "Palisor Software")
set(PALISOR_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/ProductInfo.h.in ${PALISOR_GENERATED_DIR}/ProductInfo.h @ONLY)

# Gives `target` (an executable or a library) a VERSIONINFO resource with the project's version,
# the publisher, `description` and its file name.
function(palisor_version_resource target description)
  get_target_property(type ${target} TYPE)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  if(type STREQUAL "EXECUTABLE")
    set(PALISOR_FILE_NAME "${name}.exe")
    set(PALISOR_FILE_TYPE "VFT_APP")
  else()
    set(PALISOR_FILE_NAME "${name}.dll")
    set(PALISOR_FILE_TYPE "VFT_DLL")
  endif()
  set(PALISOR_FILE_DESCRIPTION "${description}")
  configure_file(${CMAKE_SOURCE_DIR}/cmake/Version.rc.in ${PALISOR_GENERATED_DIR}/${target}-version.rc @ONLY)
  target_sources(${target} PRIVATE ${PALISOR_GENERATED_DIR}/${target}-version.rc)
endfunction()
