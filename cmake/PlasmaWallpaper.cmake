# The KDE Plasma wallpaper: a KPackage (desktop/plasma/package: its metadata, QML and
# settings) and the QML module it imports (desktop/plasma: the item that starts aerolume
# and shows its frames), built where Qt 5's Quick is found. The package installs both:
# the package under share/plasma/wallpapers, the module in Qt's QML folder. In the build
# folder the module lies in plasma/qml (QML2_IMPORT_PATH), for the tests.
find_package(Qt5 5.15 QUIET COMPONENTS Quick DBus)
if(NOT Qt5Quick_FOUND OR NOT Qt5DBus_FOUND)
  message(STATUS "Qt 5 Quick not found: the Plasma wallpaper is not built")
  set(AEROLUME_PLASMA_WALLPAPER OFF)
  return()
endif()
set(AEROLUME_PLASMA_WALLPAPER ON)
include(GNUInstallDirs)
set(AEROLUME_PLASMA_WALLPAPER_ID io.github.aerolume.wallpaper)
set(plasma_source ${PROJECT_SOURCE_DIR}/desktop/plasma)
set(plasma_module_folder io/github/aerolume/wallpaper)
set(plasma_qml_build ${PROJECT_BINARY_DIR}/plasma/qml)

add_library(aerolumewallpaperplugin MODULE
            ${plasma_source}/wallpaper_plugin.cpp ${plasma_source}/wallpaper_plugin.h
            ${plasma_source}/scene_item.cpp ${plasma_source}/scene_item.h
            ${plasma_source}/scene_program.cpp ${plasma_source}/scene_program.h
            ${plasma_source}/scene_host.cpp ${plasma_source}/scene_host.h)
set_target_properties(aerolumewallpaperplugin PROPERTIES
                      AUTOMOC ON
                      LIBRARY_OUTPUT_DIRECTORY ${plasma_qml_build}/${plasma_module_folder})
target_link_libraries(aerolumewallpaperplugin PRIVATE Qt5::Quick Qt5::DBus aerolume_shared_frames)
target_compile_definitions(aerolumewallpaperplugin PRIVATE
                           AEROLUME_PROGRAM="/usr/${CMAKE_INSTALL_BINDIR}/aerolume"
                           QT_NO_CAST_FROM_ASCII QT_NO_KEYWORDS)
configure_file(${plasma_source}/qmldir ${plasma_qml_build}/${plasma_module_folder}/qmldir COPYONLY)

# Qt's QML folder, under the install prefix as Qt itself lies under /usr.
get_target_property(qmake Qt5::qmake IMPORTED_LOCATION)
execute_process(COMMAND ${qmake} -query QT_INSTALL_QML OUTPUT_VARIABLE qt_qml_folder
                OUTPUT_STRIP_TRAILING_WHITESPACE)
string(REGEX REPLACE "^/usr/" "" AEROLUME_QML_INSTALL_DIR "${qt_qml_folder}")
# A plugin that is loaded, never run: not executable, as Debian installs its modules.
install(TARGETS aerolumewallpaperplugin
        LIBRARY DESTINATION ${AEROLUME_QML_INSTALL_DIR}/${plasma_module_folder}
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(FILES ${plasma_source}/qmldir DESTINATION ${AEROLUME_QML_INSTALL_DIR}/${plasma_module_folder})
install(DIRECTORY ${plasma_source}/package/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/plasma/wallpapers/${AEROLUME_PLASMA_WALLPAPER_ID})
