# The native build: the Win32-free logic of every subsystem and its unit tests, compiled with
# AddressSanitizer and UndefinedBehaviorSanitizer by g++ or clang++. Each subsystem's
# CMakeLists.txt defines its logic target first and, in this build, its native tests, then stops.
#
#   cmake -S . -B build-native && cmake --build build-native -j2 && ctest --test-dir build-native
#   (scripts/native-tests.sh does this with g++ and clang++)
#
# -DTVX_FUZZ=ON (clang++ only) builds the fuzzers of fuzz/ instead of the unit tests.
set(TVX_NATIVE ON)
option(TVX_FUZZ "Build the libFuzzer targets of fuzz/ (clang++) instead of the unit tests" OFF)

set(TVX_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
if(TVX_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "TVX_FUZZ needs clang++ (libFuzzer): configure with CXX=clang++")
    endif()
    # Coverage instrumentation for the logic; the fuzzer programs add libFuzzer's main.
    list(APPEND TVX_SANITIZERS -fsanitize=fuzzer-no-link)
endif()
add_compile_options(-g -O1 -Wall -Wextra ${TVX_SANITIZERS})
add_link_options(${TVX_SANITIZERS})

if(NOT TVX_FUZZ)
    find_package(GTest REQUIRED)
    include(GoogleTest)
    enable_testing()
endif()

# tvx_add_native_test(NAME SOURCES... LIBS...): a GoogleTest program, one ctest case per test.
function(tvx_add_native_test name)
    if(TVX_FUZZ)
        return()
    endif()
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 120)
endfunction()

foreach(dir sim linvoq vessnet toolfunc host)
    add_subdirectory(${dir})
endforeach()

if(TVX_FUZZ)
    add_subdirectory(fuzz)
endif()
