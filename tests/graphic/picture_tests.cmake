# The picture and screenshot tests: their picture files are made at test time
# (ImageMagick, hand-made chunks, the scrambling tool), libpng is the reference
# decoder, and a Python reader checks the screenshots.
find_package(PNG REQUIRED)

set(PICTURE_FIXTURE_DIR ${CMAKE_CURRENT_BINARY_DIR}/picture_fixtures)
add_test(NAME graphic.picture_fixtures
         COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/picture_fixtures.py
                 ${PICTURE_FIXTURE_DIR} $<TARGET_FILE:picscramble>)
set_tests_properties(graphic.picture_fixtures PROPERTIES FIXTURES_SETUP picture_fixtures TIMEOUT 120)

foreach(name picture_loading_test picture_display_test picture_demo_test screenshot_test)
  target_compile_definitions(${name} PRIVATE
    PICTURE_FIXTURES="${PICTURE_FIXTURE_DIR}"
    SCREENSHOT_CHECK="${CMAKE_CURRENT_SOURCE_DIR}/screenshot_check.py"
    GAMES_DIR="${PROJECT_SOURCE_DIR}/games")
endforeach()
foreach(name picture_loading_test picture_display_test screenshot_test)
  set_tests_properties(graphic.${name} PROPERTIES FIXTURES_REQUIRED picture_fixtures)
endforeach()
target_link_libraries(picture_loading_test PNG::PNG)
add_dependencies(picture_loading_test picscramble)

# The real program in a virtual X server: pictures in the window and the screenshot key.
add_test(NAME graphic.screenshot_window
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/screenshot_window_test.sh
                 $<TARGET_FILE:gfxrunner> $<TARGET_FILE:picscramble> ${PICTURE_FIXTURE_DIR}
                 ${CMAKE_CURRENT_SOURCE_DIR})
set_tests_properties(graphic.screenshot_window PROPERTIES FIXTURES_REQUIRED picture_fixtures TIMEOUT 120)
