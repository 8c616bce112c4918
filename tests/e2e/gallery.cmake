# The control gallery (a small Windows program with one of each control) and its Wine test,
# which drives it through Win32 messages. Included by tests/e2e/CMakeLists.txt.
set(VIGILON_GALLERY_DIR ${CMAKE_CURRENT_LIST_DIR}/gallery)

add_executable(vigilon_gallery WIN32
  ${VIGILON_GALLERY_DIR}/gallery_main.cpp
  ${VIGILON_GALLERY_DIR}/gallery_form.cpp
)
vigilon_embed_manifest(vigilon_gallery)
target_link_libraries(vigilon_gallery PRIVATE vigilon_ui_win32)

# The test finds vigilon_gallery.exe beside itself.
add_executable(ui_gallery_e2e_test ${VIGILON_GALLERY_DIR}/gallery_e2e_test.cpp)
target_include_directories(ui_gallery_e2e_test PRIVATE ${VIGILON_GALLERY_DIR})
target_link_libraries(ui_gallery_e2e_test PRIVATE vigilon_e2e_harness GTest::gtest_main comctl32)
set_target_properties(vigilon_gallery ui_gallery_e2e_test PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/gallery)
add_dependencies(ui_gallery_e2e_test vigilon_gallery)

add_test(NAME ui_gallery_e2e_test COMMAND ui_gallery_e2e_test)
set_tests_properties(ui_gallery_e2e_test PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE
                     FIXTURES_REQUIRED e2e)
