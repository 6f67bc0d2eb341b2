# The Windows resources of each executable, compiled by windres: a version
# resource (file and product version from the project's version, product
# name, description, original file name) and the application manifest.
function(filesplit_add_windows_resources target description)
  set(FILESPLIT_RC_NAME ${target})
  set(FILESPLIT_RC_DESCRIPTION "${description}")
  set(FILESPLIT_RC_VERSION_DOTTED
      "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
  set(FILESPLIT_RC_VERSION_COMMAS
      "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
  set(dir ${CMAKE_BINARY_DIR}/resources/${target})
  set(FILESPLIT_RC_MANIFEST ${dir}/${target}.manifest)
  configure_file(${CMAKE_SOURCE_DIR}/platform/win/resources/app.manifest.in
                 ${FILESPLIT_RC_MANIFEST} @ONLY)
  configure_file(${CMAKE_SOURCE_DIR}/platform/win/resources/version.rc.in ${dir}/${target}.rc
                 @ONLY)
  target_sources(${target} PRIVATE ${dir}/${target}.rc)
  # windres reads the manifest by name: a changed manifest recompiles the .rc.
  set_source_files_properties(${dir}/${target}.rc PROPERTIES OBJECT_DEPENDS
                              ${FILESPLIT_RC_MANIFEST})
endfunction()

if(WIN32)
  foreach(tool IN LISTS FILESPLIT_TOOLS)
    filesplit_add_windows_resources(${tool} "${FILESPLIT_DESCRIPTION_${tool}}")
  endforeach()
endif()
