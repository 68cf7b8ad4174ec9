# The greeting picture and the window icon are drawn at build time by
# orvanta-art and compiled into orvanta_core as :/splash.bmp (and
# :/splash@2x.bmp for scaled screens) and :/orvanta.png; the theme icons the
# bundled desktop names go under :/icons/hicolor, where Qt looks last.
# Included from the top directory, where orvanta_core is defined, so that the
# rule drawing them sits beside the resources that need it.
add_library(orvanta_artwork STATIC ${CMAKE_CURRENT_LIST_DIR}/Artwork.cpp ${CMAKE_CURRENT_LIST_DIR}/Artwork.h)
target_include_directories(orvanta_artwork PUBLIC ${CMAKE_CURRENT_LIST_DIR})
# Qt Gui only: the program's own library is built from these pictures.
target_link_libraries(orvanta_artwork PUBLIC Qt6::Gui)

add_executable(orvanta-art ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(orvanta-art PRIVATE orvanta_artwork)

set(ORVANTA_ART_DIR ${CMAKE_BINARY_DIR}/generated)
set(ORVANTA_ART_FILES
    ${ORVANTA_ART_DIR}/splash.bmp
    ${ORVANTA_ART_DIR}/splash@2x.bmp
    ${ORVANTA_ART_DIR}/orvanta.png
    ${ORVANTA_ART_DIR}/icons/hicolor/index.theme
    ${ORVANTA_ART_DIR}/icons/hicolor/48x48/apps/utilities-terminal.png
    ${ORVANTA_ART_DIR}/icons/hicolor/96x96/apps/utilities-terminal.png)
add_custom_command(
    OUTPUT ${ORVANTA_ART_FILES}
    # A leak report from the libraries under a sanitizer build must not stop
    # the build.
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
        $<TARGET_FILE:orvanta-art> ${ORVANTA_ART_DIR}
    DEPENDS orvanta-art
    COMMENT "Drawing the greeting picture and the icons"
    VERBATIM)
qt_add_resources(orvanta_core orvanta_resources PREFIX / BASE ${ORVANTA_ART_DIR} FILES ${ORVANTA_ART_FILES})
