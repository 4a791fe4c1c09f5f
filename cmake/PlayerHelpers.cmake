# Adds every immediate subfolder of DIR that has a CMakeLists.txt.
function(player_add_subdirs dir)
  file(GLOB children LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/${dir}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# player_add_test(NAME name SOURCES a.cpp b.cpp LIBS lib1 lib2 [QT])
# Builds a GoogleTest executable, linked with the tests' shared helpers (test_support), and
# registers its cases with CTest.
# QT marks tests that create a QApplication: they run on the offscreen platform.
function(player_add_test)
  cmake_parse_arguments(T "QT" "NAME" "SOURCES;LIBS" ${ARGN})
  if(T_QT)
    list(APPEND T_SOURCES ${CMAKE_SOURCE_DIR}/cmake/qt_test_options.cpp)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} test_support GTest::gtest GTest::gtest_main)
  # One entry only: the discovery script would split a list of variables.
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()

# player_add_fuzzer(NAME name SOURCES a.cpp LIBS lib1 CORPUS dir)
# SOURCES define LLVMFuzzerTestOneInput. Always builds <name>_replay, which feeds every file of
# the seed corpus to the entry point, and registers it with CTest. With PLAYER_FUZZ on a clang
# build (scripts/fuzz), also builds <name>, the coverage-guided libFuzzer binary.
function(player_add_fuzzer)
  cmake_parse_arguments(F "" "NAME;CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${F_NAME}_replay ${F_SOURCES} ${CMAKE_SOURCE_DIR}/cmake/fuzz_replay_main.cpp)
  target_link_libraries(${F_NAME}_replay PRIVATE ${F_LIBS} test_support)
  if(PLAYER_TESTS)
    add_test(NAME ${F_NAME}_corpus COMMAND ${F_NAME}_replay ${F_CORPUS})
    set_tests_properties(${F_NAME}_corpus PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
  endif()
  if(PLAYER_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    add_executable(${F_NAME} ${F_SOURCES})
    target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
    target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${F_NAME} PRIVATE ${F_LIBS} test_support)
  endif()
endfunction()

# player_require(name...) stops the configuration when a target (a tool, a library) or a
# variable (DEMO_COURSE_DIR) a test needs is missing, so no test is left out without a word.
function(player_require)
  foreach(name ${ARGN})
    if(NOT TARGET ${name} AND NOT DEFINED ${name})
      message(FATAL_ERROR "${CMAKE_CURRENT_SOURCE_DIR}: ${name} is missing")
    endif()
  endforeach()
endfunction()
