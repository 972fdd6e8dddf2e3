# The manuals' examples as ctest cases: every folder under docs/examples is a
# case of run_case.sh, and the manuals must show exactly those files.
file(GLOB DOC_EXAMPLES LIST_DIRECTORIES true CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/examples/*)
foreach(case ${DOC_EXAMPLES})
  if(IS_DIRECTORY ${case})
    get_filename_component(name ${case} NAME)
    add_test(NAME docs.${name}
             COMMAND bash ${PROJECT_SOURCE_DIR}/tests/run_case.sh $<TARGET_FILE:ttyrunner> ${case})
    set_tests_properties(docs.${name} PROPERTIES TIMEOUT 60)
  endif()
endforeach()

find_program(PYTHON3_PROGRAM python3)
if(PYTHON3_PROGRAM)
  add_test(NAME docs.manual_examples COMMAND ${PYTHON3_PROGRAM} ${PROJECT_SOURCE_DIR}/docs/check_examples.py)
endif()
