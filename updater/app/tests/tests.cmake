# The program's tests under Wine: the libraries, the start-up failures, the
# windows (screenshots in artifacts/), and whole runs of the real program
# against the simulated player behind the stand-in driver (letter O:). The
# format run leaves the data drive's image for fsck.fat, which runs after it.
set(QV_APP_TEST_DIR ${CMAKE_CURRENT_BINARY_DIR}/app-tests)
file(MAKE_DIRECTORY ${QV_APP_TEST_DIR} ${QV_APP_TEST_DIR}/drive_o)
file(TO_NATIVE_PATH "${QV_APP_TEST_DIR}" qv_app_test_dir_native)
mb_test(qv_app_wine_tests
    SOURCES tests/app_wine_test.cpp ${QV_APP_RC}
    LIBS qv_app_win qv_sim_io vilosim_client mb_gui_testing
    ENVIRONMENT "MB_DOSDEVICES=o:=${QV_APP_TEST_DIR}/drive_o"
                "QV_APP_SCRATCH=Z:${qv_app_test_dir_native}"
                "QV_APP_IMAGE=Z:${qv_app_test_dir_native}\\data-drive.img"
                "MB_ARTIFACT_DIR=Z:${qv_app_test_dir_native}\\artifacts"
    RESOURCE_LOCK vilosim_driver
    WORKING_DIRECTORY ${QV_APP_TEST_DIR}
    TIMEOUT 400
    LABELS gui)
target_include_directories(qv_app_wine_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/lang
                           ${CMAKE_SOURCE_DIR}/updater/transport/tests)
add_dependencies(qv_app_wine_tests QvUpdaterApp)

if(MB_WINE_TESTS)
    find_program(FSCK_FAT fsck.fat PATHS /usr/sbin /sbin)
    add_test(NAME qv_app_wine.FormatRunLeavesACleanDataDrive
             COMMAND ${CMAKE_SOURCE_DIR}/updater/media/tests/check-data-drive.sh ${FSCK_FAT}
                     ${QV_APP_TEST_DIR}/format-drive.img)
    set_tests_properties(qv_app_wine.FormatRunLeavesACleanDataDrive PROPERTIES
        DEPENDS UpdaterApp.AutoRunWithFormatLeavesACleanDataDrive RESOURCE_LOCK vilosim_driver TIMEOUT 60)
endif()
