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
# Builds a GoogleTest executable and registers its cases with CTest.
# QT marks tests that create a QApplication: they run on the offscreen platform.
function(player_add_test)
  cmake_parse_arguments(T "QT" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  set(env "QT_QPA_PLATFORM=offscreen")
  if(T_QT)
    # Qt's font and plugin caches live until exit; leak reports there are noise.
    list(APPEND env "ASAN_OPTIONS=detect_leaks=0")
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()
