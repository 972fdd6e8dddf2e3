# The scrollback of the main window played in a virtual X server.
add_test(NAME graphic.scrollback_window
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/scrollback_window_test.sh
                 $<TARGET_FILE:gfxrunner> $<TARGET_FILE:window_reader>
                 $<TARGET_FILE:window_closer> ${CMAKE_CURRENT_SOURCE_DIR}/scrollback_window_game)
set_tests_properties(graphic.scrollback_window PROPERTIES TIMEOUT 120)
