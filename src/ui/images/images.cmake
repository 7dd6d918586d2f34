# The program's pictures, rendered from the SVG files in this folder by render.sh.
# They go into the library, so the program and every test find them under :/images/.
qt_add_resources(quillbeacon_lib "images"
    PREFIX "/images"
    BASE "${CMAKE_CURRENT_LIST_DIR}"
    FILES
        "${CMAKE_CURRENT_LIST_DIR}/app.png"
        "${CMAKE_CURRENT_LIST_DIR}/app-48.png"
        "${CMAKE_CURRENT_LIST_DIR}/app-64.png"
        "${CMAKE_CURRENT_LIST_DIR}/app-128.png"
        "${CMAKE_CURRENT_LIST_DIR}/app-256.png"
        "${CMAKE_CURRENT_LIST_DIR}/app.svg"
        "${CMAKE_CURRENT_LIST_DIR}/trayface.png"
        "${CMAKE_CURRENT_LIST_DIR}/trayface@2x.png"
        "${CMAKE_CURRENT_LIST_DIR}/cross.png"
        "${CMAKE_CURRENT_LIST_DIR}/splash.png")
