# Install rules and the CMake package `Vornish`.
#
# `cmake --install` puts the public headers of every folder in include/vornish/, the static
# libraries in lib/, and the package in lib/cmake/Vornish/, so that an embedder writes
#
#   find_package(Vornish CONFIG REQUIRED)
#   target_link_libraries(myeditor PRIVATE Vornish::kivcore)
#
# Targets are grouped in layers (the core, and the Qt view and dialogs when built), each exported to its own
# Vornish<Layer>Targets.cmake. A layer with outside dependencies ships them as
# cmake/Vornish<Layer>Dependencies.cmake, which the package configuration runs before it loads
# that layer's targets.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KIV_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/vornish)
set(KIV_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Vornish)

get_property(KIV_EXPORT_LAYERS GLOBAL PROPERTY KIV_EXPORT_LAYERS)
list(REMOVE_DUPLICATES KIV_EXPORT_LAYERS)
foreach(layer IN LISTS KIV_EXPORT_LAYERS)
  get_property(targets GLOBAL PROPERTY KIV_EXPORT_${layer}_TARGETS)
  install(TARGETS ${targets}
    EXPORT Vornish${layer}Targets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    FILE_SET HEADERS DESTINATION ${KIV_INSTALL_INCLUDEDIR})
  install(EXPORT Vornish${layer}Targets
    NAMESPACE Vornish::
    DESTINATION ${KIV_INSTALL_CMAKEDIR})
  set(deps ${CMAKE_CURRENT_LIST_DIR}/Vornish${layer}Dependencies.cmake)
  if(EXISTS ${deps})
    install(FILES ${deps} DESTINATION ${KIV_INSTALL_CMAKEDIR})
  endif()
endforeach()

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/VornishConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/VornishConfig.cmake
  INSTALL_DESTINATION ${KIV_INSTALL_CMAKEDIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/VornishConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/VornishConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/VornishConfigVersion.cmake
  DESTINATION ${KIV_INSTALL_CMAKEDIR})
