# The demo's map in the manual (docs/images/demo-map.svg) is drawn by
# ttyrunner --map with Graphviz's dot. The build draws it again as
# docs/demo-map.svg in the build folder; `cmake --build BUILD --target
# update-demo-map` copies that over the manual's picture, and the test
# docs.demo_map fails when the two differ, so the picture cannot drift from
# the demo or from the map's drawing.
find_program(TARNWICK_DOT dot)
set(DEMO_MAP_DIR ${PROJECT_BINARY_DIR}/docs)
set(DEMO_MAP ${DEMO_MAP_DIR}/demo-map.svg)
if(TARNWICK_DOT)
  file(MAKE_DIRECTORY ${DEMO_MAP_DIR})
  add_custom_command(OUTPUT ${DEMO_MAP}
                     COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/games/demo.adv ${DEMO_MAP_DIR}/demo.adv
                     COMMAND $<TARGET_FILE:ttyrunner> --map demo
                     WORKING_DIRECTORY ${DEMO_MAP_DIR}
                     DEPENDS ttyrunner ${PROJECT_SOURCE_DIR}/games/demo.adv
                     COMMENT "Drawing the demo's map"
                     VERBATIM)
  add_custom_target(demo-map ALL DEPENDS ${DEMO_MAP})
  add_custom_target(update-demo-map
                    COMMAND ${CMAKE_COMMAND} -E copy ${DEMO_MAP} ${PROJECT_SOURCE_DIR}/docs/images/demo-map.svg
                    DEPENDS ${DEMO_MAP}
                    VERBATIM)
else()
  message(STATUS "Graphviz's dot not found: the demo's map is not drawn (Debian package graphviz)")
endif()

if(TARNWICK_TESTS)
  # Drawn afresh in a scratch folder, so that the test does not depend on the
  # build's copy being up to date.
  add_test(NAME docs.demo_map
           COMMAND bash -c [[stage=$(mktemp -d) && cp "$2" "$stage"/ && (cd "$stage" && "$1" --map demo >/dev/null) &&
                            cmp -s "$stage"/demo-map.svg "$3"; status=$?; rm -rf "$stage"
                            [ $status -eq 0 ] || echo "docs/images/demo-map.svg is not the demo's map as drawn now: cmake --build BUILD --target update-demo-map"
                            exit $status]]
                   demo_map $<TARGET_FILE:ttyrunner> ${PROJECT_SOURCE_DIR}/games/demo.adv
                   ${PROJECT_SOURCE_DIR}/docs/images/demo-map.svg)
  set_tests_properties(docs.demo_map PROPERTIES TIMEOUT 60)
endif()
