# Run by CPack on the staged program folder before it is packed: the tarball
# can be unpacked anywhere, so its desktop entry cannot name the folder yet.
set(folder "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
execute_process(COMMAND sh "${folder}/install-desktop-entry.sh" --desktop-file-only
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "writing the unplaced quillory.desktop failed: ${result}")
endif()
