# The memories seen from Windows programs under Wine: drive M (files from mount
# A, raw sectors from mount B's image) for the drive tests, drive N for the
# pulling test, each served by its own daemon for the length of the run.
include(${CMAKE_CURRENT_SOURCE_DIR}/memory_fixture.cmake)

set(MEMORY_M ${CMAKE_CURRENT_BINARY_DIR}/memory_m)
mb_memory_fixture(memory_m STATE ${MEMORY_M} INTERNAL_KIB 16384 LABEL VILO)
mb_memory_wine_test(memory_drive_tests
    SOURCES tests/memory_wine_test.cpp tests/raw_drive.cpp
    FIXTURE memory_m STATE ${MEMORY_M} LETTER m TEST_FILTER MemoryDrive.*)

if(MB_WINE_TESTS)
    add_test(NAME MemoryLabel.VolumeLabelAgreesWithTheImage
             COMMAND ${MB_WINE_RUN} $<TARGET_FILE:memory_drive_tests> --gtest_filter=MemoryLabel.*)
    set_tests_properties(MemoryLabel.VolumeLabelAgreesWithTheImage PROPERTIES
        FIXTURES_REQUIRED memory_m RESOURCE_LOCK drive_m LABELS wine TIMEOUT 120
        ENVIRONMENT "MB_DOSDEVICES=m:=${MEMORY_M}/internal/files m::=${MEMORY_M}/no-raw-device;MB_WINVER=winxp;MB_PREFIX=memory_label;MB_MEMORY_IMAGE=${MEMORY_M}/internal/raw/image")

    # What the drive tests left on the image, checked from Linux.
    add_test(NAME memory_m.image_is_fsck_clean COMMAND ${MB_MEMORY_SCRIPT} fsck ${MEMORY_M} internal)
    add_test(NAME memory_m.mdir_lists_the_raw_order
             COMMAND ${MB_MEMORY_SCRIPT} order ${MEMORY_M} internal /ORDER "Third Song.mp3" "second.mp3" "FIRST.MP3")
    set_tests_properties(memory_m.image_is_fsck_clean memory_m.mdir_lists_the_raw_order PROPERTIES
        FIXTURES_REQUIRED memory_m RESOURCE_LOCK drive_m LABELS memory
        DEPENDS "MemoryDrive.RawRewriteOfTheOrderShowsAtOnce;MemoryDrive.FilesWrittenThroughTheDriveAreFoundRaw")
endif()

# Pulling: the drive works, the daemon pulls it, both views fail, it comes back.
set(MEMORY_N ${CMAKE_CURRENT_BINARY_DIR}/memory_n)
mb_memory_fixture(memory_n STATE ${MEMORY_N} INTERNAL_KIB 4096 LABEL VILO)
add_executable(memory_pull_tests tests/memory_pull_wine_test.cpp tests/raw_drive.cpp)
target_link_libraries(memory_pull_tests PRIVATE GTest::gtest GTest::gtest_main)
if(MB_WINE_TESTS)
    mb_memory_dosdevices(map_n ${MEMORY_N} n "")
    set(previous "")
    foreach(step present pull pulled insert inserted)
        if(step STREQUAL "pull" OR step STREQUAL "insert")
            add_test(NAME memory_n.${step} COMMAND ${MB_MEMORY_SCRIPT} ${step} ${MEMORY_N} internal)
        else()
            string(SUBSTRING ${step} 0 1 first)
            string(TOUPPER ${first} first)
            string(SUBSTRING ${step} 1 -1 rest)
            add_test(NAME memory_n.${step}
                     COMMAND ${MB_WINE_RUN} $<TARGET_FILE:memory_pull_tests> --gtest_filter=${first}${rest}.*)
            set_tests_properties(memory_n.${step} PROPERTIES
                ENVIRONMENT "MB_DOSDEVICES=${map_n};MB_WINVER=winxp" LABELS "wine;memory" TIMEOUT 120)
        endif()
        set_tests_properties(memory_n.${step} PROPERTIES FIXTURES_REQUIRED memory_n RESOURCE_LOCK drive_n)
        if(previous)
            set_tests_properties(memory_n.${step} PROPERTIES DEPENDS memory_n.${previous})
        endif()
        set(previous ${step})
    endforeach()
endif()
