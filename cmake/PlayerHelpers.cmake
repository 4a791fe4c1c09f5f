# Adds every immediate subfolder of DIR; one without a CMakeLists.txt is named as left out.
function(player_add_subdirs dir)
  file(GLOB children LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/${dir}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
      add_subdirectory(${child})
    elseif(IS_DIRECTORY ${child})
      message(WARNING "${child} has no CMakeLists.txt: left out of the build")
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

# player_library_layers(<lib> [BELOW <layer>...])
# Gives the library of src/<lib> an include folder of its own, layers/<lib>/ in the build tree,
# holding links to src/<lib> and to the lower layers named BELOW, and makes it the library's
# PUBLIC include directory. `#include "<layer>/X.h"` then compiles only for the library's own
# layer and those below it: an include of a higher layer fails.
function(player_library_layers lib)
  cmake_parse_arguments(L "" "" "BELOW" ${ARGN})
  set(dir ${CMAKE_BINARY_DIR}/layers/${lib})
  # Made afresh, so that a layer dropped from BELOW leaves no link behind.
  file(REMOVE_RECURSE ${dir})
  file(MAKE_DIRECTORY ${dir})
  foreach(layer ${lib} ${L_BELOW})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${layer} ${dir}/${layer} SYMBOLIC)
  endforeach()
  target_include_directories(${lib} PUBLIC ${dir})
  set_target_properties(${lib} PROPERTIES PLAYER_LAYERS_BELOW "${L_BELOW}")
endfunction()

# player_check_layers(<layer>...): the libraries of src/ from the lowest layer to the highest.
# Stops the configuration when a library declares, links or has on its own include path a layer
# that is not below it (src/ itself would reach them all).
function(player_check_layers)
  set(lower "")
  foreach(lib ${ARGN})
    get_target_property(below ${lib} PLAYER_LAYERS_BELOW)
    if(below STREQUAL "below-NOTFOUND")
      message(FATAL_ERROR "src/${lib}: its include path is not set with player_library_layers()")
    endif()
    foreach(layer ${below})
      if(NOT layer IN_LIST lower)
        message(FATAL_ERROR "src/${lib}: ${layer} is not a layer below ${lib}")
      endif()
    endforeach()
    get_target_property(links ${lib} LINK_LIBRARIES)
    foreach(link ${links})
      if(link IN_LIST ARGN AND NOT link IN_LIST below)
        message(FATAL_ERROR "src/${lib}: links ${link}, which is not among its lower layers "
                            "(${below})")
      endif()
    endforeach()
    get_target_property(includes ${lib} INCLUDE_DIRECTORIES)
    get_target_property(interface_includes ${lib} INTERFACE_INCLUDE_DIRECTORIES)
    foreach(dir ${includes} ${interface_includes})
      foreach(layer ${ARGN})
        if(NOT layer STREQUAL lib AND NOT layer IN_LIST below AND IS_DIRECTORY ${dir}/${layer})
          message(FATAL_ERROR "src/${lib}: its include path ${dir} reaches ${layer}, which is "
                              "not below it")
        endif()
      endforeach()
    endforeach()
    list(APPEND lower ${lib})
  endforeach()
endfunction()
