# The window fitted to other sizes, the screenshot at such a size, and
# fullscreen on a bare X server: the real program in Xvfb.
add_test(NAME graphic.window_fit
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/window_fit_test.sh
                 $<TARGET_FILE:gfxrunner> $<TARGET_FILE:window_reader>
                 $<TARGET_FILE:window_closer> ${CMAKE_CURRENT_SOURCE_DIR}/window_game)
set_tests_properties(graphic.window_fit PROPERTIES TIMEOUT 120)
