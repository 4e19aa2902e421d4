# The control under Wine. Every test that registers the control runs in its
# own named prefix (a copy of the base one), so no registration reaches the
# other tests; the base prefix never has it registered.
mb_test(progress_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/progress_test.cpp
    LIBS progress_ids mb_com mb_gui_testing
    ENVIRONMENT MB_PREFIX=progress
    TIMEOUT 120
    LABELS gui)
add_dependencies(progress_tests Progress)
# The shipped 32-bit module, when that build is there, is checked for its
# type library's width and identity.
get_filename_component(mb_builds_dir ${CMAKE_BINARY_DIR} DIRECTORY)
target_compile_definitions(progress_tests PRIVATE
    MB_WIN32_PROGRESS_DLL="Z:${mb_builds_dir}/win32/bin/Progress.dll")

mb_wine_runs(progress_tests progress_runs)
if(progress_runs)
    add_test(NAME progress.regsvr32
             COMMAND ${CMAKE_CURRENT_LIST_DIR}/regsvr32_test.sh ${MB_WINE_RUN} $<TARGET_FILE:Progress>)
    # Five starts of 32-bit programs (each dear under emulation) and a fresh
    # prefix copy: the i686 build gives it longer before it counts as hung.
    set(regsvr32_timeout 180)
    if(MB_I686_TESTS)
        set(regsvr32_timeout 900)
    endif()
    set_tests_properties(progress.regsvr32 PROPERTIES
        TIMEOUT ${regsvr32_timeout}
        LABELS ${MB_WINE_LABEL}
        ENVIRONMENT "MB_TEST_ENV=MB_PREFIX=progress-regsvr32")
endif()
