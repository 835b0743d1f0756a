# Sources and tests of the software Direct3D 9 stand-in.
target_sources(vantoro_core PRIVATE
  ${PROJECT_SOURCE_DIR}/render/d3d9/d3d9_adapter.cpp
  ${PROJECT_SOURCE_DIR}/render/d3d9/d3d9_blending.cpp
  ${PROJECT_SOURCE_DIR}/render/d3d9/d3d9_device.cpp
  ${PROJECT_SOURCE_DIR}/render/d3d9/d3d9_device_bindings.cpp
  ${PROJECT_SOURCE_DIR}/render/d3d9/d3d9_device_draw.cpp
  ${PROJECT_SOURCE_DIR}/render/d3d9/d3d9_device_frame.cpp
  ${PROJECT_SOURCE_DIR}/render/d3d9/d3d9_device_state.cpp
  ${PROJECT_SOURCE_DIR}/render/d3d9/d3d9_fast_bilinear.cpp
  ${PROJECT_SOURCE_DIR}/render/d3d9/d3d9_fast_paths.cpp
  ${PROJECT_SOURCE_DIR}/render/d3d9/d3d9_pipeline.cpp
  ${PROJECT_SOURCE_DIR}/render/d3d9/d3d9_presenter.cpp
  ${PROJECT_SOURCE_DIR}/render/d3d9/d3d9_rasterizer.cpp
  ${PROJECT_SOURCE_DIR}/render/d3d9/d3d9_resources.cpp
  ${PROJECT_SOURCE_DIR}/render/d3d9/d3d9_sampling.cpp
  ${PROJECT_SOURCE_DIR}/render/d3d9/d3d9_texture_stage.cpp
  ${PROJECT_SOURCE_DIR}/render/d3d9/d3d9_texture_storage.cpp
)

if(BUILD_TESTING)
  add_executable(vantoro_d3d9_tests
    ${PROJECT_SOURCE_DIR}/tests/render/d3d9/d3d9_test_support.cpp
    ${PROJECT_SOURCE_DIR}/tests/render/d3d9/blending_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/render/d3d9/device_protocol_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/render/d3d9/fast_path_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/render/d3d9/rasterizer_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/render/d3d9/sampling_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/render/d3d9/texture_storage_test.cpp
  )
  target_link_libraries(vantoro_d3d9_tests PRIVATE vantoro_core GTest::gtest_main)
  target_compile_options(vantoro_d3d9_tests PRIVATE -Wall -Wextra -Wpedantic)
  gtest_discover_tests(vantoro_d3d9_tests DISCOVERY_TIMEOUT 60)
endif()

if(TARGET vantoro-bench)
  target_sources(vantoro-bench PRIVATE
    ${PROJECT_SOURCE_DIR}/bench/d3d9_raster_bench.cpp
    ${PROJECT_SOURCE_DIR}/tests/render/d3d9/d3d9_test_support.cpp)
endif()

# Fast and general paths must round identically: no fused multiply-adds that
# one path would get and the other not.
get_target_property(_vantoro_core_sources vantoro_core SOURCES)
foreach(_source IN LISTS _vantoro_core_sources)
  if(_source MATCHES "render/d3d9/")
    set_source_files_properties(${_source} PROPERTIES COMPILE_OPTIONS "-ffp-contract=off")
  endif()
endforeach()
