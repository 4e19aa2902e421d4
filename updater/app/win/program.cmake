# The Windows side of the updater program: its classes as a library (the
# program and the tests that drive it in-process share it), the program under
# its own name and under the two names the manager starts, the eight language
# libraries, and the tests.
add_library(qv_app_win STATIC
    win/ErrorTextTable.cpp
    win/LogFile.cpp
    win/MessageBoxes.cpp
    win/ProgressDlg.cpp
    win/UpdaterAboutDlg.cpp
    win/UpdaterApp.cpp
    win/UpdaterDlg.cpp
    win/VersionDetailsDlg.cpp)
target_include_directories(qv_app_win PUBLIC win)
target_link_libraries(qv_app_win PUBLIC qv_app_core qv_media_win mb_win advapi32 shell32 comctl32)

set(QV_APP_RC ${CMAKE_CURRENT_SOURCE_DIR}/win/QvUpdaterApp.rc)
# WinMain comes from the window layer; named here so the linker takes it.
add_executable(QvUpdaterApp WIN32 win/main.cpp ${CMAKE_SOURCE_DIR}/platform/win/AppMain.cpp ${QV_APP_RC})
target_link_libraries(QvUpdaterApp PRIVATE qv_app_win)
target_link_options(QvUpdaterApp PRIVATE -static)
set_source_files_properties(${QV_APP_RC} PROPERTIES OBJECT_DEPENDS
    "${CMAKE_CURRENT_SOURCE_DIR}/res/updater.ico;${CMAKE_CURRENT_SOURCE_DIR}/res/searching.avi")

# The language libraries: LANGID, primary and sub-language, and whether the
# library holds the Korean texts.
set(QV_LANGUAGES
    "0409:0x09:0x01:0"
    "0404:0x04:0x01:0"
    "0804:0x04:0x02:0"
    "0407:0x07:0x01:0"
    "040a:0x0a:0x01:0"
    "040c:0x0c:0x01:0"
    "0411:0x11:0x01:0"
    "0412:0x12:0x01:1")
set(QV_LANGUAGE_TARGETS "")
foreach(item IN LISTS QV_LANGUAGES)
    string(REPLACE ":" ";" entry "${item}")
    list(GET entry 0 id)
    list(GET entry 1 primary)
    list(GET entry 2 sub)
    list(GET entry 3 korean)
    set(target qvrx${id})
    # The same .rc compiled once per library: its own object file.
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/lang/${target}.rc)
    set(korean_define "")
    if(korean)
        set(korean_define "#define QV_KOREAN 1\n")
    endif()
    file(WRITE ${rc}.in "#define QV_PRIMARY ${primary}\n#define QV_SUB ${sub}\n${korean_define}#include \"${CMAKE_CURRENT_SOURCE_DIR}/lang/qvrx.rc\"\n")
    configure_file(${rc}.in ${rc} COPYONLY)
    add_library(${target} SHARED lang/ResourceOnly.c ${rc})
    set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${target})
    target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/lang)
    target_link_options(${target} PRIVATE -static-libgcc)
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS
        "${CMAKE_CURRENT_SOURCE_DIR}/lang/strings-en.rc;${CMAKE_CURRENT_SOURCE_DIR}/lang/strings-ko.rc;${CMAKE_CURRENT_SOURCE_DIR}/lang/qvrx.rc")
    add_dependencies(QvUpdaterApp ${target})
    list(APPEND QV_LANGUAGE_TARGETS ${target})
endforeach()

# The manager starts the updater as "QvUsbMscupdate.exe" (or
# "qvrx3update.exe") with the working folder of the firmware files: the
# program goes there under each name, with its libraries and the files.
set(QV_INSTALL_DIR ${CMAKE_BINARY_DIR}/bin)
set(QV_FIRMWARE_FILES bootmanager.sb usbmsc.sb qvrxsys.sb resource.bin)
set(QV_FIRMWARE_SOURCE ${CMAKE_SOURCE_DIR}/updater/media/tests/data/firmware)
set(copies "")
foreach(name QvUsbMscupdate.exe qvrx3update.exe)
    list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:QvUpdaterApp> ${QV_INSTALL_DIR}/${name})
endforeach()
foreach(file IN LISTS QV_FIRMWARE_FILES)
    list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QV_FIRMWARE_SOURCE}/${file} ${QV_INSTALL_DIR}/${file})
endforeach()
add_custom_command(TARGET QvUpdaterApp POST_BUILD ${copies} VERBATIM)

include(${CMAKE_CURRENT_SOURCE_DIR}/tests/tests.cmake)
