# Build and test helpers shared by every component.
#
#   MB_WINDOWS  a Windows build (cross-compiled)
#   MB_WINE_TESTS  the Windows build whose tests CTest runs under Wine (the
#               x86_64 one; the i686 build makes the shipped binaries and
#               builds the test programs without registering them)
#   MB_NATIVE   the native build of the Windows-free cores
#   MB_FUZZ     the native build also makes libFuzzer targets (clang only)

include_guard(GLOBAL)
include(GoogleTest)

if(WIN32)
    set(MB_WINDOWS ON)
    set(MB_NATIVE OFF)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(MB_WINE_TESTS ON)
    else()
        set(MB_WINE_TESTS OFF)
    endif()
else()
    set(MB_WINDOWS OFF)
    set(MB_NATIVE ON)
    set(MB_WINE_TESTS OFF)
endif()

set(MB_SOURCE_DIR ${CMAKE_SOURCE_DIR})
set(MB_SCRIPTS_DIR ${CMAKE_SOURCE_DIR}/scripts)
# Seconds each fuzz target runs over its seed corpus in a test run.
set(MB_FUZZ_SECONDS 5 CACHE STRING "seconds per fuzz target in the test run")

if(MB_WINDOWS)
    # Programs, DLLs and test programs share one folder, so every test finds
    # the DLLs it loads beside itself, as an installed program would.
    set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
    set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
    # Tests run through Wine in the build's own 32-bit prefix.
    configure_file(${MB_SCRIPTS_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
    set(MB_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)
    add_compile_options(-Wall -Wextra -Wno-unused-parameter -Wno-cast-function-type)
    add_compile_definitions(_CRT_SECURE_NO_WARNINGS NOMINMAX)
    set(MB_FUZZ OFF)
else()
    add_compile_options(-Wall -Wextra -Wno-unused-parameter)
    option(MB_SANITIZE "build the native cores with AddressSanitizer and UBSan" ON)
    if(MB_SANITIZE)
        set(MB_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
        add_compile_options(${MB_SANITIZER_FLAGS})
        add_link_options(${MB_SANITIZER_FLAGS})
    endif()
    # Fuzz targets come with the sanitizer build (the benchmarks' optimised
    # build has none).
    if(CMAKE_CXX_COMPILER_ID MATCHES "Clang" AND MB_SANITIZE)
        set(MB_FUZZ ON)
    else()
        set(MB_FUZZ OFF)
    endif()
endif()

macro(mb_add_googletest)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    if(MB_WINDOWS)
        set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
    endif()
    set(MB_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
    add_subdirectory(${MB_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL)
endmacro()

# mb_core_library(name SOURCES ... [INCLUDES ...] [LIBS ...])
# A static library of Windows-free code, built in both builds.
function(mb_core_library name)
    cmake_parse_arguments(A "" "" "SOURCES;INCLUDES;LIBS" ${ARGN})
    add_library(${name} STATIC ${A_SOURCES})
    target_include_directories(${name} PUBLIC ${A_INCLUDES})
    if(A_LIBS)
        target_link_libraries(${name} PUBLIC ${A_LIBS})
    endif()
endfunction()

# mb_test(name SOURCES ... [LIBS ...] [WINVERS winxp win98 winme ...]
#         [ENVIRONMENT VAR=value ...] [RESOURCE_LOCK lock ...] [LABELS ...]
#         [TIMEOUT seconds] [WORKING_DIRECTORY dir])
# A GoogleTest program; its cases become CTest tests. In the Windows build the
# cases run under Wine once per Windows version in WINVERS (default winxp), each
# test named <version>.<Suite>.<Case> for versions other than winxp.
function(mb_test name)
    cmake_parse_arguments(A "" "TIMEOUT;WORKING_DIRECTORY" "SOURCES;LIBS;WINVERS;ENVIRONMENT;RESOURCE_LOCK;LABELS" ${ARGN})
    add_executable(${name} ${A_SOURCES})
    target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest GTest::gtest_main)
    if(NOT A_TIMEOUT)
        set(A_TIMEOUT 120)
    endif()
    if(NOT A_WORKING_DIRECTORY)
        set(A_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    endif()
    set(props TIMEOUT ${A_TIMEOUT})
    if(A_RESOURCE_LOCK)
        # Discovery flattens list-valued properties, so a test program takes one
        # lock; programs that share several resources share one lock name.
        list(LENGTH A_RESOURCE_LOCK nlocks)
        if(nlocks GREATER 1)
            message(FATAL_ERROR "mb_test(${name}): give one RESOURCE_LOCK, not ${A_RESOURCE_LOCK}")
        endif()
        list(APPEND props RESOURCE_LOCK ${A_RESOURCE_LOCK})
    endif()
    if(A_LABELS)
        list(APPEND props LABELS "${A_LABELS}")
    endif()
    if(MB_WINDOWS AND NOT MB_WINE_TESTS)
        return()
    endif()
    if(MB_WINDOWS)
        if(NOT A_WINVERS)
            set(A_WINVERS winxp)
        endif()
        list(APPEND props LABELS wine)
    else()
        set(A_WINVERS native)
    endif()
    if(MB_NATIVE AND A_ENVIRONMENT)
        # Native tests get their environment through the same unpacking runner.
        set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR ${MB_SCRIPTS_DIR}/native-run.sh)
    endif()
    foreach(ver IN LISTS A_WINVERS)
        set(env ${A_ENVIRONMENT})
        set(prefix "")
        if(MB_WINDOWS)
            list(APPEND env MB_WINVER=${ver})
            if(NOT ver STREQUAL "winxp")
                set(prefix "${ver}.")
            endif()
        endif()
        # GoogleTest's discovery flattens list-valued properties, so a test's
        # variables travel packed in one, MB_TEST_ENV ("A=1|B=2"), which the
        # runners (wine-run, native-run.sh) unpack.
        list(JOIN env "|" envtext)
        gtest_discover_tests(${name}
            TEST_PREFIX "${prefix}"
            WORKING_DIRECTORY ${A_WORKING_DIRECTORY}
            DISCOVERY_MODE PRE_TEST
            DISCOVERY_TIMEOUT 60
            PROPERTIES ${props} ENVIRONMENT "MB_TEST_ENV=${envtext}")
    endforeach()
endfunction()

# mb_fuzzer(name SOURCES ... [LIBS ...] CORPUS dir)
# A libFuzzer target (native clang build only). The test run gives it
# MB_FUZZ_SECONDS over a scratch copy of its seed corpus; longer campaigns are
# run by hand (scripts/fuzz.sh).
function(mb_fuzzer name)
    cmake_parse_arguments(A "" "CORPUS" "SOURCES;LIBS" ${ARGN})
    if(NOT MB_FUZZ)
        return()
    endif()
    add_executable(${name} ${A_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${A_LIBS})
    add_test(NAME fuzz.${name}
             COMMAND ${MB_SCRIPTS_DIR}/fuzz-run.sh $<TARGET_FILE:${name}> ${A_CORPUS} ${MB_FUZZ_SECONDS})
    set_tests_properties(fuzz.${name} PROPERTIES TIMEOUT 300 LABELS fuzz)
endfunction()

# mb_windows_dll(name SOURCES ... [LIBS ...] [OUTPUT_NAME n] [DEFINITIONS ...])
# A DLL of the suite: no lib prefix, exports by the decorated names of its classes.
function(mb_windows_dll name)
    cmake_parse_arguments(A "" "OUTPUT_NAME" "SOURCES;LIBS;DEFINITIONS" ${ARGN})
    add_library(${name} SHARED ${A_SOURCES})
    set_target_properties(${name} PROPERTIES PREFIX "" IMPORT_PREFIX "lib")
    if(A_OUTPUT_NAME)
        set_target_properties(${name} PROPERTIES OUTPUT_NAME ${A_OUTPUT_NAME})
    endif()
    if(A_DEFINITIONS)
        target_compile_definitions(${name} PRIVATE ${A_DEFINITIONS})
    endif()
    target_link_libraries(${name} PRIVATE ${A_LIBS})
endfunction()

# mb_add_subdirectories()
# Adds every direct subfolder of the current folder that has a CMakeLists.txt,
# in name order: a component folder holds one folder per library or program.
function(mb_add_subdirectories)
    file(GLOB children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
    list(SORT children)
    foreach(child IN LISTS children)
        if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
            add_subdirectory(${child})
        endif()
    endforeach()
endfunction()
