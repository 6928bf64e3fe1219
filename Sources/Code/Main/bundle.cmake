# The application bundle, laid out the same on every platform:
#   Quillon Updater.app/Contents/MacOS/Quillon Updater      the application
#   Quillon Updater.app/Contents/Resources/Tarvo_Download.dat   the download tool
#   Quillon Updater.app/Contents/Resources/Tarvo_Firmware.txt   the firmware image
#   Quillon Updater.app/Contents/Resources/...                  everything in bundle-resources/
# The application finds its resources from its own executable, so the bundle can be moved
# anywhere as a whole. `cmake --install` puts it in <prefix>/lib with a <prefix>/bin launcher.

set(QUILLON_BUNDLE_DIR "${CMAKE_BINARY_DIR}/Quillon Updater.app" CACHE INTERNAL
    "The built application bundle")
set(QUILLON_BUNDLE_RESOURCES "${QUILLON_BUNDLE_DIR}/Contents/Resources" CACHE INTERNAL
    "The built bundle's Resources folder")
set(bundle_resources "${QUILLON_BUNDLE_RESOURCES}")

add_executable(quillon_updater ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)
target_link_libraries(quillon_updater PRIVATE app_main)
# The generator expression keeps multi-configuration generators from adding a folder.
set_target_properties(quillon_updater PROPERTIES
  OUTPUT_NAME "Quillon Updater"
  RUNTIME_OUTPUT_DIRECTORY "${QUILLON_BUNDLE_DIR}/Contents/MacOS$<0:>")
quillon_warnings(quillon_updater)

set(bundle_files "")

# The tool. download/ is configured before this folder, so its target is known here.
if(TARGET Tarvo_Download)
  add_custom_command(
    OUTPUT "${bundle_resources}/Tarvo_Download.dat"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${bundle_resources}"
    COMMAND ${CMAKE_COMMAND} -E copy "$<TARGET_FILE:Tarvo_Download>" "${bundle_resources}/Tarvo_Download.dat"
    DEPENDS Tarvo_Download
    COMMENT "Bundle: Tarvo_Download.dat"
    VERBATIM)
  list(APPEND bundle_files "${bundle_resources}/Tarvo_Download.dat")
endif()

# The firmware image: the configured file, or a generated demonstration image.
if(QUILLON_FIRMWARE_IMAGE)
  get_filename_component(firmware_source "${QUILLON_FIRMWARE_IMAGE}" ABSOLUTE)
  if(NOT EXISTS "${firmware_source}")
    message(FATAL_ERROR "QUILLON_FIRMWARE_IMAGE: ${firmware_source} does not exist")
  endif()
  add_custom_command(
    OUTPUT "${bundle_resources}/Tarvo_Firmware.txt"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${bundle_resources}"
    COMMAND ${CMAKE_COMMAND} -E copy "${firmware_source}" "${bundle_resources}/Tarvo_Firmware.txt"
    DEPENDS "${firmware_source}"
    COMMENT "Bundle: Tarvo_Firmware.txt from ${firmware_source}"
    VERBATIM)
else()
  if(NOT TARGET make-demo-image)
    add_subdirectory(${CMAKE_SOURCE_DIR}/tools/make-demo-image ${CMAKE_BINARY_DIR}/tools/make-demo-image)
  endif()
  # A changed size rewrites this file, and with it the image.
  set(demo_size_file "${CMAKE_BINARY_DIR}/tools/make-demo-image/demo-image-size.txt")
  file(CONFIGURE OUTPUT "${demo_size_file}" CONTENT "${QUILLON_DEMO_IMAGE_SIZE}\n")
  add_custom_command(
    OUTPUT "${bundle_resources}/Tarvo_Firmware.txt"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${bundle_resources}"
    COMMAND make-demo-image "${bundle_resources}/Tarvo_Firmware.txt" ${QUILLON_DEMO_IMAGE_SIZE}
    DEPENDS make-demo-image "${demo_size_file}"
    COMMENT "Bundle: Tarvo_Firmware.txt, a ${QUILLON_DEMO_IMAGE_SIZE}-byte demo image"
    VERBATIM)
endif()
list(APPEND bundle_files "${bundle_resources}/Tarvo_Firmware.txt")

# bundle-resources/ is copied on every build, so edits to it show up without reconfiguring.
add_custom_target(quillon_bundle_resources ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory "${bundle_resources}"
  COMMAND ${CMAKE_COMMAND} -E copy_directory "${CMAKE_SOURCE_DIR}/bundle-resources" "${bundle_resources}"
  COMMENT "Bundle: bundle-resources/"
  VERBATIM)

# Building the bundle: the application, the tool, the image and the resources.
add_custom_target(quillon_bundle ALL DEPENDS ${bundle_files})
add_dependencies(quillon_bundle quillon_updater quillon_bundle_resources)

# Installation: the whole bundle under lib/, and a launcher that finds it from where the
# launcher itself lies, so the installed tree can be moved too.
set(launcher "${CMAKE_BINARY_DIR}/quillon-updater")
file(WRITE "${launcher}" [=[#!/bin/sh
# Starts the Quillon Updater application installed beside this launcher.
here=$(dirname "$(readlink -f "$0")")
exec "$here/../lib/Quillon Updater.app/Contents/MacOS/Quillon Updater" "$@"
]=])
install(DIRECTORY "${QUILLON_BUNDLE_DIR}" DESTINATION lib USE_SOURCE_PERMISSIONS)
install(PROGRAMS "${launcher}" DESTINATION bin)
