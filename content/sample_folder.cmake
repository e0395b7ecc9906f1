# The sample program folder: <build>/sample holds the quillory executable and
# the bundled content built into a store (Data). `cmake --build <build> --target sample`.
set(QUILLORY_SAMPLE_DIR ${PROJECT_BINARY_DIR}/sample)
set(QUILLORY_SAMPLE_PLAIN ${PROJECT_BINARY_DIR}/sample-plain)
add_custom_target(sample
  # Only the content folders go into the store, not the build files beside them.
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${QUILLORY_SAMPLE_PLAIN}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_CURRENT_SOURCE_DIR} ${QUILLORY_SAMPLE_PLAIN}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${QUILLORY_SAMPLE_PLAIN}/CMakeLists.txt
          ${QUILLORY_SAMPLE_PLAIN}/sample_folder.cmake ${QUILLORY_SAMPLE_PLAIN}/sample_package.cmake
  # Sources of the sample package (sample_package.cmake), not installed content.
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${QUILLORY_SAMPLE_PLAIN}/packages
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QUILLORY_SAMPLE_DIR}
  COMMAND $<TARGET_FILE:quillory-pack> store ${QUILLORY_SAMPLE_PLAIN} ${QUILLORY_SAMPLE_DIR}/Data --force
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:quillory> ${QUILLORY_SAMPLE_DIR}/quillory
  DEPENDS quillory quillory-pack
  COMMENT "Building the sample program folder in ${QUILLORY_SAMPLE_DIR}"
  VERBATIM)
