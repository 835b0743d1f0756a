# The window program: Qt 6 Widgets on top of the core.
find_package(Qt6 REQUIRED COMPONENTS Widgets)

add_library(vantoro_app STATIC
  ${PROJECT_SOURCE_DIR}/app/draw_grid.cpp
  ${PROJECT_SOURCE_DIR}/app/thumbnail_painter.cpp
)
set_target_properties(vantoro_app PROPERTIES AUTOMOC ON)
target_link_libraries(vantoro_app PUBLIC vantoro_core Qt6::Widgets)
target_compile_options(vantoro_app PRIVATE -Wall -Wextra -Wpedantic)

if(BUILD_TESTING)
  add_executable(vantoro_app_tests
    ${PROJECT_SOURCE_DIR}/tests/app/draw_grid_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/app/thumbnail_painter_test.cpp
  )
  set_target_properties(vantoro_app_tests PROPERTIES AUTOMOC ON)
  target_link_libraries(vantoro_app_tests PRIVATE vantoro_app vantoro_fixtures GTest::gtest_main)
  target_compile_options(vantoro_app_tests PRIVATE -Wall -Wextra -Wpedantic)
  gtest_discover_tests(vantoro_app_tests DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()

if(TARGET vantoro-bench)
  target_sources(vantoro-bench PRIVATE ${PROJECT_SOURCE_DIR}/bench/grid_bench.cpp)
  target_link_libraries(vantoro-bench PRIVATE vantoro_app)
endif()
