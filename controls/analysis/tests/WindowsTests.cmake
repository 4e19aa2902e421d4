# TrackScope.ocx under Wine, in a prefix of its own (MB_PREFIX) where the test
# registers the module; the WMA control reads through our wmvcore.dll.
set(TRACKSCOPE_TOP ${MB_SOURCE_DIR})
mb_test(trackscope_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/trackscope_test.cpp ${MB_SOURCE_DIR}/libs/mp3info/tests/Mp3Expected.cpp
    LIBS trackscope_ids mb_com mb_gui_testing
    ENVIRONMENT MB_PREFIX=trackscope WINEDLLOVERRIDES=wmvcore=n
    # The AAC control's tool writes its answer to one file of the folder:
    # the cases take turns.
    RESOURCE_LOCK trackscope_aacinfo
    TIMEOUT 120
    LABELS gui)
add_dependencies(trackscope_tests TrackScope wmvcore_standin aacinfo)
target_include_directories(trackscope_tests PRIVATE ${MB_SOURCE_DIR}/libs/mp3info/tests)
target_compile_definitions(trackscope_tests PRIVATE
    MP3INFO_DATA="${MB_SOURCE_DIR}/libs/mp3info/tests/data"
    AACINFO_DATA="${MB_SOURCE_DIR}/outside/aacinfo/tests/data"
    ANALYSIS_DATA="${CMAKE_CURRENT_LIST_DIR}/data"
    MB_TOP="${MB_SOURCE_DIR}")

if(MB_WINE_TESTS)
    # Again with the reader library switched off: the WMA control tells the
    # user and gives empty results.
    gtest_discover_tests(trackscope_tests
        TEST_PREFIX "noreader."
        TEST_FILTER "WmaNoReader.*"
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        PROPERTIES TIMEOUT 120 LABELS wine RESOURCE_LOCK trackscope_aacinfo
            ENVIRONMENT "MB_TEST_ENV=MB_PREFIX=trackscope|WINEDLLOVERRIDES=wmvcore=|MB_EXPECT_NO_READER=1|MB_WINVER=winxp")
    add_test(NAME trackscope.regsvr32
             COMMAND ${CMAKE_CURRENT_LIST_DIR}/regsvr32_test.sh ${MB_WINE_RUN} $<TARGET_FILE:TrackScope>)
    # A prefix of its own is made first: minutes on a loaded machine.
    set_tests_properties(trackscope.regsvr32 PROPERTIES
        TIMEOUT 360
        LABELS wine
        ENVIRONMENT "MB_TEST_ENV=MB_PREFIX=trackscope-regsvr32")
endif()
