# Build and test helpers shared by every component.
#
#   MB_WINDOWS  a Windows build (cross-compiled)
#   MB_WINE_TESTS  the Windows build whose tests CTest runs under Wine (the
#               x86_64 one)
#   MB_I686_TESTS  the i686 build (the shipped binaries) registers the test
#               programs named in tests/i686/programs.txt, run under 32-bit
#               Wine (tests/i686); it builds the others without registering
#   MB_NATIVE   the native build of the Windows-free cores
#   MB_FUZZ     the native build also makes libFuzzer targets (clang only)

include_guard(GLOBAL)
include(GoogleTest)

if(WIN32)
    set(MB_WINDOWS ON)
    set(MB_NATIVE OFF)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(MB_WINE_TESTS ON)
        set(MB_I686_TESTS OFF)
        set(MB_WINE_WIDTH 64)
    else()
        set(MB_WINE_TESTS OFF)
        option(MB_I686_TESTS "run the listed test programs of the i686 build under 32-bit Wine" ON)
        set(MB_WINE_WIDTH 32)
    endif()
else()
    set(MB_WINDOWS OFF)
    set(MB_NATIVE ON)
    set(MB_WINE_TESTS OFF)
    set(MB_I686_TESTS OFF)
endif()

# The test programs the i686 build runs (one name a line, optionally followed
# by the seconds it takes, so that CTest starts the long ones first; # starts
# a comment).
set(MB_I686_PROGRAMS "")
if(MB_I686_TESTS)
    file(STRINGS ${CMAKE_SOURCE_DIR}/tests/i686/programs.txt lines)
    foreach(line IN LISTS lines)
        string(REGEX REPLACE "#.*" "" line "${line}")
        string(STRIP "${line}" line)
        if(line MATCHES "^([A-Za-z0-9_]+)[ \t]+([0-9]+)$")
            list(APPEND MB_I686_PROGRAMS ${CMAKE_MATCH_1})
            set(MB_I686_COST_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
        elseif(line)
            list(APPEND MB_I686_PROGRAMS ${line})
        endif()
    endforeach()
    # The stand-in driver runs in the 64-bit driver host of the 32-bit
    # prefix: the x86_64 build makes it.
    set(MB_WIN64_BUILD_DIR ${CMAKE_SOURCE_DIR}/build/win64 CACHE PATH "the x86_64 build, whose stand-in driver the i686 tests load")
endif()

# mb_wine_runs(<program> <out>): whether this build registers the program's
# tests to run under Wine (every program in the x86_64 build, the listed ones
# in the i686 build).
function(mb_wine_runs name out)
    if(MB_WINE_TESTS OR (MB_I686_TESTS AND name IN_LIST MB_I686_PROGRAMS))
        set(${out} TRUE PARENT_SCOPE)
    else()
        set(${out} FALSE PARENT_SCOPE)
    endif()
endfunction()

# The label of the tests that run under Wine in this build.
if(MB_I686_TESTS)
    set(MB_WINE_LABEL i686)
else()
    set(MB_WINE_LABEL wine)
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
        # The cores a fuzz target calls must carry the coverage counters too:
        # with only the target's own file instrumented, libFuzzer sees a few
        # edges and mutates blind.
        add_compile_options(-fsanitize=fuzzer-no-link)
    else()
        set(MB_FUZZ OFF)
    endif()
endif()

# A native benchmark program timed as a whole process is linked statically, as
# the shipped programs link their runtime, so its start is not spent loading
# libstdc++ (its peers are plain C programs).
function(mb_bench_program target)
    if(NOT MB_WINDOWS AND NOT MB_SANITIZE)
        target_link_options(${target} PRIVATE -static)
    endif()
endfunction()

macro(mb_add_googletest)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    if(MB_WINDOWS)
        set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
    endif()
    set(MB_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
    add_subdirectory(${MB_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL)
    if(MB_WINDOWS)
        # The win32 thread model has no std::mutex for GoogleTest's
        # Notification: our port hook supplies one over a Win32 event.
        target_include_directories(gtest BEFORE PUBLIC ${CMAKE_SOURCE_DIR}/cmake/gtest-win32)
        target_sources(gtest PRIVATE ${CMAKE_SOURCE_DIR}/cmake/gtest-win32/Notification.cc)
    endif()
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
#         [TIMEOUT seconds] [WORKING_DIRECTORY dir] [SERIAL])
# A GoogleTest program; its cases become CTest tests (SERIAL: each runs with
# no other test beside it). In the Windows build the
# cases run under Wine once per Windows version in WINVERS (default winxp), each
# test named <version>.<Suite>.<Case> for versions other than winxp.
function(mb_test name)
    cmake_parse_arguments(A "SERIAL" "TIMEOUT;WORKING_DIRECTORY" "SOURCES;LIBS;WINVERS;ENVIRONMENT;RESOURCE_LOCK;LABELS" ${ARGN})
    add_executable(${name} ${A_SOURCES})
    target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest GTest::gtest_main)
    mb_not_shipped(${name})
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
    if(A_SERIAL)
        list(APPEND props RUN_SERIAL TRUE)
    endif()
    if(MB_WINDOWS)
        mb_wine_runs(${name} runs)
        if(NOT runs)
            return()
        endif()
    endif()
    if(MB_WINDOWS)
        if(NOT A_WINVERS)
            set(A_WINVERS winxp)
        endif()
        list(APPEND props LABELS ${MB_WINE_LABEL})
    else()
        set(A_WINVERS native)
    endif()
    if(MB_NATIVE AND A_ENVIRONMENT)
        # Native tests get their environment through the same unpacking runner.
        set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR ${MB_SCRIPTS_DIR}/native-run.sh)
    endif()
    if(MB_I686_TESTS)
        # Under emulation a process start is dear: each program runs once per
        # Windows version, all its cases in one run (no discovery either).
        foreach(ver IN LISTS A_WINVERS)
            set(env ${A_ENVIRONMENT} MB_WINVER=${ver})
            list(JOIN env "|" envtext)
            set(testname ${name})
            if(NOT ver STREQUAL "winxp")
                set(testname ${ver}.${name})
            endif()
            mb_i686_program_test(${testname} ${name} WORKING_DIRECTORY ${A_WORKING_DIRECTORY}
                PROPERTIES ${props} ENVIRONMENT "MB_TEST_ENV=${envtext}")
        endforeach()
        return()
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

# mb_i686_program_test(<test> <program> [WORKING_DIRECTORY dir] [ARGS ...]
#                      [PROPERTIES ...])
# One CTest test that runs every case of a GoogleTest program (or those ARGS
# select) in one process under the i686 build's wine-run; PROPERTIES as
# set_tests_properties takes them (TIMEOUT is raised to fit the whole program).
function(mb_i686_program_test test program)
    cmake_parse_arguments(A "" "WORKING_DIRECTORY" "ARGS;PROPERTIES" ${ARGN})
    if(NOT A_WORKING_DIRECTORY)
        set(A_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    endif()
    add_test(NAME ${test} COMMAND ${MB_WINE_RUN} $<TARGET_FILE:${program}> ${A_ARGS}
             WORKING_DIRECTORY ${A_WORKING_DIRECTORY})
    set(props ${A_PROPERTIES})
    list(FIND props TIMEOUT at)
    if(at GREATER -1)
        math(EXPR value_at "${at} + 1")
        list(REMOVE_AT props ${at} ${value_at})
    endif()
    set_tests_properties(${test} PROPERTIES ${props})
    set_tests_properties(${test} PROPERTIES TIMEOUT 1500 LABELS ${MB_WINE_LABEL})
    if(DEFINED MB_I686_COST_${program})
        set_tests_properties(${test} PROPERTIES COST ${MB_I686_COST_${program}})
    endif()
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

# mb_not_shipped(target ...)
# A program or DLL of the tests (a stand-in, a helper, a probe) that the
# package leaves out. Test programs (mb_test), targets built only from files
# under tests/, bench/ or fuzz/ folders, and everything under sim/ are left out
# without it.
function(mb_not_shipped)
    foreach(target IN ITEMS ${ARGN})
        set_property(TARGET ${target} PROPERTY MB_NOT_SHIPPED TRUE)
    endforeach()
endfunction()

# Whether a target is test-side (see mb_not_shipped).
function(mb_is_test_side target result)
    get_target_property(marked ${target} MB_NOT_SHIPPED)
    get_target_property(dir ${target} SOURCE_DIR)
    file(RELATIVE_PATH reldir ${CMAKE_SOURCE_DIR} ${dir})
    if(marked OR reldir MATCHES "^sim(/|$)" OR reldir MATCHES "(^|/)(tests|bench|fuzz)(/|$)")
        set(${result} TRUE PARENT_SCOPE)
        return()
    endif()
    get_target_property(sources ${target} SOURCES)
    set(side TRUE)
    foreach(source IN LISTS sources)
        if(IS_ABSOLUTE ${source})
            file(RELATIVE_PATH source ${dir} ${source})
        endif()
        if(NOT source MATCHES "(^|/)(tests|bench|fuzz)/")
            set(side FALSE)
            break()
        endif()
    endforeach()
    set(${result} ${side} PARENT_SCOPE)
endfunction()

function(mb_collect_targets dir out)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(sub IN LISTS subdirs)
        mb_collect_targets(${sub} more)
        list(APPEND targets ${more})
    endforeach()
    set(${out} ${targets} PARENT_SCOPE)
endfunction()

# The package: build/<windows build>/package holds a copy of every program
# and DLL the suite ships, and nothing else (bin/ mixes them with the tests).
# Made after the whole tree is configured, so every new program or DLL is in
# it unless it is test-side.
function(mb_make_package)
    mb_collect_targets(${CMAKE_SOURCE_DIR} targets)
    set(package_dir ${CMAKE_BINARY_DIR}/package)
    set(files "")
    set(names "")
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(NOT type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|MODULE_LIBRARY)$")
            continue()
        endif()
        if(target MATCHES "^(gtest|gmock)")
            continue()
        endif()
        mb_is_test_side(${target} side)
        if(NOT side)
            list(APPEND files $<TARGET_FILE:${target}>)
            list(APPEND names ${target})
        endif()
    endforeach()
    set(stamp ${CMAKE_BINARY_DIR}/package.stamp)
    add_custom_command(OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${package_dir}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${package_dir}
        COMMAND ${CMAKE_COMMAND} -E copy ${files} ${package_dir}
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${names}
        COMMENT "Copying the shipped programs and DLLs into package/"
        VERBATIM)
    add_custom_target(mb_package ALL DEPENDS ${stamp})
    set_property(GLOBAL PROPERTY MB_PACKAGE_TARGETS ${names})
endfunction()

if(MB_WINDOWS)
    cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL mb_make_package)
endif()
