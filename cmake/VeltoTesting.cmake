# velto_add_test(<name> SOURCES <files...> LIBS <libs...> LABELS <labels...> [TIMEOUT <s>])
# One GoogleTest executable registered as one CTest test with the given labels.
function(velto_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    if(NOT VELTO_TESTS)
        return()
    endif()
    find_package(GTest REQUIRED)
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock velto_options)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "VELTO_SOURCE_DIR=${PROJECT_SOURCE_DIR};VELTO_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()

# velto_add_fuzzer(<name> SOURCES <files...> LIBS <libs...>)
# A libFuzzer target (clang, VELTO_FUZZ=ON), registered as a CTest test labelled
# "fuzz" that runs for VELTO_FUZZ_SECONDS. Seeds kept in the tree under
# tests/fuzz/corpus/<name>/ start each run from inputs that reach deep.
set(VELTO_FUZZ_SECONDS 60 CACHE STRING "Time box of each fuzzer run under CTest")
function(velto_add_fuzzer name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    if(NOT VELTO_FUZZ)
        return()
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} velto_options)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}_corpus)
    file(MAKE_DIRECTORY ${corpus})
    set(seeds ${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name})
    if(NOT EXISTS ${seeds})
        set(seeds "")
    endif()
    add_test(NAME ${name}
             COMMAND ${name} -max_total_time=${VELTO_FUZZ_SECONDS} -rss_limit_mb=2048 ${corpus}
                     ${seeds})
    set_tests_properties(${name} PROPERTIES LABELS "fuzz" TIMEOUT 600)
endfunction()
