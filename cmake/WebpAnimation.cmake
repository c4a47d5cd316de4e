# Animated WebP files (renderer/webp_animation.*): a small library on libwebp's animation
# encoder, linked into the headless renderer; its test joins the renderer's tests.
find_package(PkgConfig REQUIRED)
pkg_check_modules(WEBP REQUIRED IMPORTED_TARGET libwebpmux libwebpdemux libwebp)

add_library(aerolume_webp STATIC ${PROJECT_SOURCE_DIR}/renderer/webp_animation.cpp)
target_include_directories(aerolume_webp PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(aerolume_webp PUBLIC PkgConfig::WEBP)
target_link_libraries(aerolume_renderer PUBLIC aerolume_webp)

if(TARGET aerolume_render_tests)
  target_sources(aerolume_render_tests PRIVATE
                 ${PROJECT_SOURCE_DIR}/tests/render/webp_animation_test.cpp)
endif()
