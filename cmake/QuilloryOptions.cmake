# Warnings and sanitizers for every target of the project (not for dependencies).
add_compile_options(-Wall -Wextra)

if(QUILLORY_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(QUILLORY_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT QUILLORY_SANITIZE STREQUAL "")
  message(FATAL_ERROR "QUILLORY_SANITIZE must be empty, 'address' or 'thread'")
endif()

# quillory_add_test(NAME SOURCES... LIBS... [LABELS ...])
function(quillory_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  if(NOT T_LABELS)
    set(T_LABELS unit)
  endif()
  # Labels are set from a script that runs after discovery: a list of labels
  # handed to gtest_discover_tests as PROPERTIES loses its separators.
  if(NOT QUILLORY_TEST_DISCOVERY_MODE)
    set(QUILLORY_TEST_DISCOVERY_MODE POST_BUILD)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_LIST ${name}_TESTS
    DISCOVERY_MODE ${QUILLORY_TEST_DISCOVERY_MODE})
  set(label_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
  file(WRITE ${label_file} "if(${name}_TESTS)\n  set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${T_LABELS}\")\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${label_file})
endfunction()
