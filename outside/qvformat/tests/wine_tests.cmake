# The format tool under Wine: on a served memory (drive E, removable), on a
# fixed drive (D, refused) and on a letter that does not exist.
# The fixture file is included once for the whole tree: its script path is
# set here for this folder too.
set(MB_MEMORY_SCRIPT ${CMAKE_SOURCE_DIR}/sim/memory/scripts/memory.sh)
include(${CMAKE_SOURCE_DIR}/sim/memory/memory_fixture.cmake)

set(QVFORMAT_MEMORY ${CMAKE_CURRENT_BINARY_DIR}/memory_e)
mb_memory_fixture(qvformat_memory STATE ${QVFORMAT_MEMORY} INTERNAL_KIB 16384 LABEL VILO)
mb_memory_wine_test(qvformat_wine_tests
    SOURCES tests/qvformat_wine_test.cpp
    FIXTURE qvformat_memory STATE ${QVFORMAT_MEMORY} LETTER e TEST_FILTER FormatToolOnMemory.*)
add_dependencies(qvformat_wine_tests qvusbmscformat)
mb_not_shipped(qvformat_wine_tests)

if(MB_WINE_TESTS)
    # What the tool left on the image, checked from Linux.
    add_test(NAME qvformat_memory.image_is_fsck_clean
             COMMAND ${MB_MEMORY_SCRIPT} fsck ${QVFORMAT_MEMORY} internal)
    set_tests_properties(qvformat_memory.image_is_fsck_clean PROPERTIES
        FIXTURES_REQUIRED qvformat_memory RESOURCE_LOCK drive_e LABELS memory
        DEPENDS FormatToolOnMemory.FormatsTheMemoryWithItsLabel)

    set(fixed ${CMAKE_CURRENT_BINARY_DIR}/fixed_d)
    file(MAKE_DIRECTORY ${fixed})
    add_test(NAME FormatToolRefusals.FixedAndMissingDrives
             COMMAND ${MB_WINE_RUN} $<TARGET_FILE:qvformat_wine_tests> --gtest_filter=FormatToolRefusals.*)
    set_tests_properties(FormatToolRefusals.FixedAndMissingDrives PROPERTIES
        ENVIRONMENT "MB_DOSDEVICES=d:=${fixed};MB_WINVER=winxp"
        RESOURCE_LOCK drive_d LABELS wine TIMEOUT 120)
endif()
