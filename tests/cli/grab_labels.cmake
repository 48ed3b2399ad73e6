# Read by ctest after the discovered tests of cli_grab_tests: they grab, so
# they carry the label "grab" besides "unit".
if(cli_grab_tests_TESTS)
  set_tests_properties(${cli_grab_tests_TESTS} PROPERTIES LABELS "unit;grab")
endif()
