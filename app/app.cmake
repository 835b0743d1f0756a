# The window program: Qt 6 Widgets on top of the core.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

add_library(vantoro_app STATIC
  ${PROJECT_SOURCE_DIR}/app/draw_grid.cpp
  ${PROJECT_SOURCE_DIR}/app/thumbnail_painter.cpp
  ${PROJECT_SOURCE_DIR}/app/app_settings.cpp
  ${PROJECT_SOURCE_DIR}/app/color_button.cpp
  ${PROJECT_SOURCE_DIR}/app/command_line.cpp
  ${PROJECT_SOURCE_DIR}/app/dialog_seam.cpp
  ${PROJECT_SOURCE_DIR}/app/file_browser.cpp
  ${PROJECT_SOURCE_DIR}/app/form_main.cpp
  ${PROJECT_SOURCE_DIR}/app/form_main_grid.cpp
  ${PROJECT_SOURCE_DIR}/app/form_main_layout.cpp
  ${PROJECT_SOURCE_DIR}/app/form_main_menus.cpp
  ${PROJECT_SOURCE_DIR}/app/form_main_view.cpp
  ${PROJECT_SOURCE_DIR}/app/program_resources.cpp
  ${PROJECT_SOURCE_DIR}/app/recent_files_menu.cpp
  ${PROJECT_SOURCE_DIR}/app/status_bar.cpp
  ${PROJECT_SOURCE_DIR}/resources/vantoro.qrc
)
set_target_properties(vantoro_app PROPERTIES AUTOMOC ON AUTORCC ON)
target_link_libraries(vantoro_app PUBLIC vantoro_core Qt6::Widgets)
target_compile_options(vantoro_app PRIVATE -Wall -Wextra -Wpedantic)
# The program's version, as the window's title shows it.
target_compile_definitions(vantoro_app PRIVATE VANTORO_VERSION="${PROJECT_VERSION}")

# The palette and the entry icons are made from the core's palette table and
# drawn during the build, then compiled in beside the images in vantoro.qrc.
add_executable(vantoro-make-resources ${PROJECT_SOURCE_DIR}/resources/make_resources.cpp)
target_link_libraries(vantoro-make-resources PRIVATE vantoro_core Qt6::Gui)
target_compile_options(vantoro-make-resources PRIVATE -Wall -Wextra -Wpedantic)
set(VANTORO_GENERATED_RESOURCES ${CMAKE_CURRENT_BINARY_DIR}/generated_resources)
set(VANTORO_GENERATED_FILES
  ${VANTORO_GENERATED_RESOURCES}/256RGB
  ${VANTORO_GENERATED_RESOURCES}/DATFILE.bmp
  ${VANTORO_GENERATED_RESOURCES}/WAVFILE.bmp
  ${VANTORO_GENERATED_RESOURCES}/MP3FILE.bmp
)
add_custom_command(
  OUTPUT ${VANTORO_GENERATED_FILES}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VANTORO_GENERATED_RESOURCES}
  COMMAND vantoro-make-resources ${VANTORO_GENERATED_RESOURCES}
  DEPENDS vantoro-make-resources
  COMMENT "Generating the palette and the entry icons")
qt_add_resources(vantoro_app vantoro_generated
  PREFIX "/"
  BASE ${VANTORO_GENERATED_RESOURCES}
  FILES ${VANTORO_GENERATED_FILES})

add_executable(vantoro ${PROJECT_SOURCE_DIR}/app/main.cpp)
target_link_libraries(vantoro PRIVATE vantoro_app)
target_compile_options(vantoro PRIVATE -Wall -Wextra -Wpedantic)
target_compile_definitions(vantoro PRIVATE VANTORO_VERSION="${PROJECT_VERSION}")

if(BUILD_TESTING)
  add_executable(vantoro_app_tests
    ${PROJECT_SOURCE_DIR}/tests/app/draw_grid_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/app/thumbnail_painter_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/app/app_test_main.cpp
    ${PROJECT_SOURCE_DIR}/tests/app/form_fixture.cpp
    ${PROJECT_SOURCE_DIR}/tests/app/scripted_dialogs.cpp
    ${PROJECT_SOURCE_DIR}/tests/app/app_pieces_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/app/form_open_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/app/form_commands_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/app/form_navigation_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/app/recent_files_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/app/file_browser_test.cpp
  )
  set_target_properties(vantoro_app_tests PROPERTIES AUTOMOC ON)
  target_link_libraries(vantoro_app_tests PRIVATE vantoro_app vantoro_fixtures Qt6::Test GTest::gtest)
  # GCC 12 warns falsely about moved-from std::optional<QString> values.
  target_compile_options(vantoro_app_tests PRIVATE -Wall -Wextra -Wpedantic -Wno-maybe-uninitialized)
  gtest_discover_tests(vantoro_app_tests DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()

if(TARGET vantoro-bench)
  target_sources(vantoro-bench PRIVATE ${PROJECT_SOURCE_DIR}/bench/grid_bench.cpp
    ${PROJECT_SOURCE_DIR}/bench/open_bench.cpp)
  target_link_libraries(vantoro-bench PRIVATE vantoro_app)
endif()
