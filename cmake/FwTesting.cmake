# Test helpers shared by every folder.
#
#   fw_add_gtest(NAME name SOURCES ... [LIBS ...] [CONCURRENCY])
#
# builds one GoogleTest binary and registers its tests with CTest. Binaries
# marked CONCURRENCY get the label "concurrency" (others "unit"); the ThreadSanitizer run of
# scripts/test builds the target fw_concurrency_tests and runs that label only.
find_package(GTest REQUIRED)
include(GoogleTest)

if(NOT TARGET fw_concurrency_tests)
  add_custom_target(fw_concurrency_tests)
endif()

function(fw_add_gtest)
  cmake_parse_arguments(T "CONCURRENCY" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main
                        Threads::Threads)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  # Tests find fixtures and built programs through these.
  target_compile_definitions(${T_NAME} PRIVATE FW_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                             FW_BINARY_DIR="${PROJECT_BINARY_DIR}")
  set(label unit)
  if(T_CONCURRENCY)
    set(label concurrency)
    add_dependencies(fw_concurrency_tests ${T_NAME})
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${label} TIMEOUT ${T_TIMEOUT})
endfunction()
