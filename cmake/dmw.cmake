# dmw_layer(<target> <folder> [DEPS libs...])
# A static library made of every .cpp in <folder>; headers are included as
# "<folder>/<file>.h" from the source root.
function(dmw_layer target folder)
  cmake_parse_arguments(L "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
  if(sources)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${L_DEPS})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${L_DEPS})
  endif()
endfunction()

# dmw_test_suite(<name> <folder under tests/> [DEPS libs...])
# One GoogleTest program per test folder, made of every .cpp in it.
function(dmw_test_suite name folder)
  cmake_parse_arguments(T "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${folder}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${T_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    DMW_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    DMW_BINARY_DIR="${CMAKE_BINARY_DIR}"
    DMW_SHARED_DIR="${CMAKE_SOURCE_DIR}/../shared")
  gtest_discover_tests(${name} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
endfunction()
