# How tests get a simulated player memory (include this file, then call):
#
# mb_memory_fixture(<fixture> STATE <dir> INTERNAL_KIB <n> [LABEL <label>]
#                   [EXTERNAL_KIB <n> [EXTERNAL_LABEL <label>]])
#   CTest steps <fixture>.start and <fixture>.stop (the fixture's set-up and
#   clean-up) that make fresh FAT images and serve them with mb_memoryd: the
#   internal memory's files under <dir>/internal/files and its raw image as
#   <dir>/internal/raw/image (external likewise).
#
# mb_memory_wine_test(<name> SOURCES ... [LIBS ...] FIXTURE <fixture> STATE <dir>
#                     LETTER <x> [TIMEOUT s] [TEST_FILTER gtest-filter])
#   A GoogleTest program (as mb_test, Windows XP) whose cases require the
#   fixture, see the internal memory as drive <x> (files X:\, raw \\.\X:) and
#   hold drive_<x>.
#
# mb_memory_dosdevices(<var> <dir> <letter> [<external letter>])
#   The MB_DOSDEVICES text for a plain add_test (both memories, any version).
# Set at every include: the folders that include this file each need it.
set(MB_MEMORY_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/scripts/memory.sh)
include_guard(GLOBAL)
include(GoogleTest)

function(mb_memory_fixture fixture)
    cmake_parse_arguments(A "" "STATE;INTERNAL_KIB;LABEL;EXTERNAL_KIB;EXTERNAL_LABEL" "" ${ARGN})
    set(args start ${A_STATE} --new-internal ${A_INTERNAL_KIB} ${A_LABEL})
    if(A_EXTERNAL_KIB)
        list(APPEND args --new-external ${A_EXTERNAL_KIB} ${A_EXTERNAL_LABEL})
    endif()
    add_test(NAME ${fixture}.start COMMAND ${MB_MEMORY_SCRIPT} ${args})
    set_tests_properties(${fixture}.start PROPERTIES FIXTURES_SETUP ${fixture} TIMEOUT 60 LABELS memory)
    add_test(NAME ${fixture}.stop COMMAND ${MB_MEMORY_SCRIPT} stop ${A_STATE})
    set_tests_properties(${fixture}.stop PROPERTIES FIXTURES_CLEANUP ${fixture} TIMEOUT 60 LABELS memory)
endfunction()

function(mb_memory_dosdevices out state letter external)
    set(map "${letter}:=${state}/internal/files ${letter}::=${state}/internal/raw/image")
    if(external)
        string(APPEND map " ${external}:=${state}/external/files ${external}::=${state}/external/raw/image")
    endif()
    set(${out} "${map}" PARENT_SCOPE)
endfunction()

function(mb_memory_wine_test name)
    cmake_parse_arguments(A "" "FIXTURE;STATE;LETTER;TIMEOUT;TEST_FILTER" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${A_SOURCES})
    target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest GTest::gtest_main)
    mb_wine_runs(${name} runs)
    if(NOT runs)
        return()
    endif()
    if(NOT A_TIMEOUT)
        set(A_TIMEOUT 120)
    endif()
    mb_memory_dosdevices(map ${A_STATE} ${A_LETTER} "")
    if(MB_I686_TESTS)
        set(args "")
        if(A_TEST_FILTER)
            set(args --gtest_filter=${A_TEST_FILTER})
        endif()
        mb_i686_program_test(${name} ${name} ARGS ${args}
            PROPERTIES RESOURCE_LOCK drive_${A_LETTER} FIXTURES_REQUIRED ${A_FIXTURE}
                       ENVIRONMENT "MB_TEST_ENV=MB_DOSDEVICES=${map}")
        return()
    endif()
    set(filter "")
    if(A_TEST_FILTER)
        set(filter TEST_FILTER ${A_TEST_FILTER})
    endif()
    # Discovery hands the properties on as one text split at every ';', so
    # each property here holds a single value (Windows XP is wine-run's
    # default version).
    gtest_discover_tests(${name}
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        ${filter}
        PROPERTIES TIMEOUT ${A_TIMEOUT} RESOURCE_LOCK drive_${A_LETTER} FIXTURES_REQUIRED ${A_FIXTURE}
                   LABELS ${MB_WINE_LABEL} ENVIRONMENT "MB_DOSDEVICES=${map}")
endfunction()
