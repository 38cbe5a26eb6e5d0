# Shared helpers for the subsystem folders.
find_package(Threads REQUIRED)
find_package(spdlog REQUIRED)
find_package(SQLite3 REQUIRED)
find_package(OpenSSL REQUIRED COMPONENTS Crypto)

# c-client ships no CMake or pkg-config files: find the header and library.
find_path(CCLIENT_INCLUDE_DIR c-client.h PATH_SUFFIXES c-client REQUIRED)
find_library(CCLIENT_LIBRARY NAMES c-client REQUIRED)

# locmail_library(NAME SOURCES ... DEPS ...): a static, position-independent
# library of one subsystem folder; includes are rooted at src/.
function(locmail_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# locmail_test(NAME SOURCES ... DEPS ...): one GoogleTest binary, run by CTest.
function(locmail_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30
    PROPERTIES ENVIRONMENT "LOCMAIL_BUILD_DIR=${PROJECT_BINARY_DIR}" LABELS ${name})
endfunction()
