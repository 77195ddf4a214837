# Install layout (GNUInstallDirs) and the Debian package built by CPack:
#   bin/vellumark                                the program
#   lib/vellumark/plugins/libvellumark_ocr.so    word recognition, loaded when words are first read
#   share/vellumark/{epubfiles,help}             its data, found through ../share/vellumark
#   share/applications, share/metainfo,          menu entry, AppStream data, the MDI file type
#   share/mime/packages, share/icons/hicolor     and the icons (window builds only)
#   share/man/man1/vellumark.1.gz                when the build made vellumark.1
#   share/doc/vellumark/{copyright,changelog.gz}
# `cpack -G DEB` in the build folder writes vellumark_<version>_<arch>.deb.

set(VELLUMARK_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/vellumark)
set(VELLUMARK_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/vellumark)
set(VELLUMARK_LINUX_DATA ${PROJECT_SOURCE_DIR}/data/linux)

install(DIRECTORY ${VELLUMARK_EPUBFILES} DESTINATION ${VELLUMARK_INSTALL_DATADIR})
# What a job array or an indexed job runs for one scan (docs/scale-out.md).
install(PROGRAMS ${PROJECT_SOURCE_DIR}/docs/scale-out/convert-one.sh
        DESTINATION ${VELLUMARK_INSTALL_DATADIR}/scale-out)

# Installs `source` compressed as `source.gz` (gzip -9n: no name or time stamp, so the bytes are
# reproducible) into `destination`, relative to the install prefix. With OPTIONAL, a missing
# source is skipped: the file may be made by a target that this build does not have.
function(vellumark_install_gzipped source destination)
    cmake_parse_arguments(PARSE_ARGV 2 arg "OPTIONAL" "" "")
    get_filename_component(name ${source} NAME)
    set(gzipped ${CMAKE_BINARY_DIR}/gzipped/${name}.gz)
    set(missing "message(FATAL_ERROR \"${source} is missing\")")
    if(arg_OPTIONAL)
        set(missing "")
    endif()
    install(CODE "
        if(EXISTS \"${source}\")
            file(MAKE_DIRECTORY \"${CMAKE_BINARY_DIR}/gzipped\")
            execute_process(COMMAND gzip -9nc \"${source}\" OUTPUT_FILE \"${gzipped}\"
                            RESULT_VARIABLE failed)
            if(failed)
                message(FATAL_ERROR \"Cannot compress ${source}\")
            endif()
            file(INSTALL \"${gzipped}\"
                 DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${destination}\")
        else()
            ${missing}
        endif()")
endfunction()

# The manual page, when the build generates one (build/vellumark.1).
vellumark_install_gzipped(${CMAKE_BINARY_DIR}/vellumark.1 ${CMAKE_INSTALL_MANDIR}/man1 OPTIONAL)

if(TARGET vellumark_window)
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/help DESTINATION ${VELLUMARK_INSTALL_DATADIR})
    install(FILES ${VELLUMARK_LINUX_DATA}/org.vellumark.Vellumark.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${VELLUMARK_LINUX_DATA}/org.vellumark.Vellumark.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${VELLUMARK_LINUX_DATA}/vellumark-mime.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME vellumark.xml)
    set(icons ${VELLUMARK_LINUX_DATA}/icons)
    install(FILES ${icons}/org.vellumark.Vellumark.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    # Rendered from the SVG by scripts/render-icons.sh.
    foreach(size 16 22 24 32 48 64 128 256)
        install(FILES ${icons}/${size}x${size}/org.vellumark.Vellumark.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
endif()

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vellumark)
set(CPACK_PACKAGE_VENDOR "The Vellumark developers")
set(CPACK_PACKAGE_CONTACT "The Vellumark developers <packages@vellumark.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://vellumark.org/)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert scanned documents into EPUB books")
set(CPACK_PACKAGE_DESCRIPTION
    "Vellumark turns scanned documents, multi-page TIFF and MDI files, into EPUB\n"
    "books whose pages are pictures, with a table of contents and an optional\n"
    "cover. It has a desktop window, to look through the pages, find words\n"
    "through text recognition, print pages and convert, and a command line for\n"
    "scripts.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Library dependencies come from dpkg-shlibdeps; the OCR language data is no library.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS tesseract-ocr-eng)

# Debian wants the package's copyright and change log in its documentation folder.
install(FILES ${VELLUMARK_LINUX_DATA}/copyright DESTINATION ${VELLUMARK_INSTALL_DOCDIR})
string(TIMESTAMP VELLUMARK_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${VELLUMARK_LINUX_DATA}/changelog.in ${CMAKE_BINARY_DIR}/changelog @ONLY)
vellumark_install_gzipped(${CMAKE_BINARY_DIR}/changelog ${VELLUMARK_INSTALL_DOCDIR})

include(CPack)
