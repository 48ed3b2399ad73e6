# fw_engine_folder(name [LIBS ...])
#
# Turns the current engine folder into part of fw_engine by convention, so
# folders never need to list their files:
#   *.cc                      engine code (an OBJECT library fw_<name>)
#   *.l                       flex scanners, generated at build time
#   *_test.cc                 unit tests  -> binary <name>_tests
#   *_concurrency_test.cc     threaded tests -> <name>_concurrency_tests,
#                             labelled "concurrency" (also run under TSan)
#   *_fuzz.cc                 libFuzzer targets -> <name>_<file> (only with
#                             -DFW_FUZZ=ON and clang; see bench/fuzz_all)
# LIBS are libraries the folder's code needs (they propagate to fw_engine).
find_package(FLEX REQUIRED)

function(fw_engine_folder name)
  cmake_parse_arguments(F "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cc)
  file(GLOB scanners CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.l)
  set(lib_sources)
  set(unit_tests)
  set(threaded_tests)
  foreach(f ${sources})
    if(f MATCHES "_concurrency_test\\.cc$")
      list(APPEND threaded_tests ${f})
    elseif(f MATCHES "_test\\.cc$")
      list(APPEND unit_tests ${f})
    elseif(NOT f MATCHES "_fuzz\\.cc$")
      list(APPEND lib_sources ${f})
    endif()
  endforeach()
  foreach(l ${scanners})
    get_filename_component(base ${l} NAME_WE)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${base}.yy.cc)
    add_custom_command(OUTPUT ${out}
      COMMAND ${FLEX_EXECUTABLE} -o ${out} ${l}
      DEPENDS ${l} COMMENT "Generating scanner ${base}" VERBATIM)
    # Generated code is flex's, not ours: do not hold it to our warnings.
    set_source_files_properties(${out} PROPERTIES COMPILE_OPTIONS
      "-Wno-unused-function;-Wno-sign-compare;-Wno-unused-parameter;-Wno-unused-but-set-variable;-Wno-misleading-indentation")
    list(APPEND lib_sources ${out})
  endforeach()

  add_library(fw_${name} OBJECT ${lib_sources})
  set_target_properties(fw_${name} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_include_directories(fw_${name} PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
  target_link_libraries(fw_${name} PUBLIC fw_platform ${F_LIBS})
  target_sources(fw_engine PRIVATE $<TARGET_OBJECTS:fw_${name}>)
  if(F_LIBS)
    target_link_libraries(fw_engine PUBLIC ${F_LIBS})
  endif()

  if(unit_tests)
    fw_add_gtest(NAME ${name}_tests SOURCES ${unit_tests} LIBS fw_engine)
  endif()
  if(threaded_tests)
    fw_add_gtest(NAME ${name}_concurrency_tests SOURCES ${threaded_tests} LIBS fw_engine CONCURRENCY)
  endif()

  if(FW_FUZZ)
    foreach(f ${sources})
      if(f MATCHES "_fuzz\\.cc$")
        get_filename_component(base ${f} NAME_WE)
        add_executable(${name}_${base} ${f})
        target_link_libraries(${name}_${base} PRIVATE fw_engine)
        target_compile_options(${name}_${base} PRIVATE -fsanitize=fuzzer)
        target_link_options(${name}_${base} PRIVATE -fsanitize=fuzzer)
        add_dependencies(fw_fuzzers ${name}_${base})
      endif()
    endforeach()
  endif()
endfunction()
