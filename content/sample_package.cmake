# The sample content package: one extra textbook (content/packages/sample-book,
# plain layout) built into the store layout and packed as
# <build>/sample/sample-book.vkp, ready for "Import package" in the sample
# program folder. Part of `all` and of the `sample` target.
set(QUILLORY_SAMPLE_BOOK_PLAIN ${CMAKE_CURRENT_SOURCE_DIR}/packages/sample-book)
set(QUILLORY_SAMPLE_BOOK_STORE ${PROJECT_BINARY_DIR}/sample-book-store)
set(QUILLORY_SAMPLE_BOOK_PACKAGE ${PROJECT_BINARY_DIR}/sample/sample-book.vkp)
file(GLOB_RECURSE QUILLORY_SAMPLE_BOOK_SOURCES CONFIGURE_DEPENDS ${QUILLORY_SAMPLE_BOOK_PLAIN}/*)

add_custom_command(
  OUTPUT ${QUILLORY_SAMPLE_BOOK_PACKAGE}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${QUILLORY_SAMPLE_BOOK_STORE}
  COMMAND $<TARGET_FILE:quillory-pack> store ${QUILLORY_SAMPLE_BOOK_PLAIN} ${QUILLORY_SAMPLE_BOOK_STORE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/sample
  COMMAND $<TARGET_FILE:quillory-pack> package ${QUILLORY_SAMPLE_BOOK_STORE} ${QUILLORY_SAMPLE_BOOK_PACKAGE}
  DEPENDS quillory-pack ${QUILLORY_SAMPLE_BOOK_SOURCES}
  COMMENT "Packing the sample package ${QUILLORY_SAMPLE_BOOK_PACKAGE}"
  VERBATIM)
add_custom_target(sample_package ALL DEPENDS ${QUILLORY_SAMPLE_BOOK_PACKAGE})
# The run command builds only the sample program folder; the package comes
# with it, beside the executable, where the import dialog opens.
if(TARGET sample)
  add_dependencies(sample sample_package)
endif()
