# The Debian package (`cpack -G DEB`, run by scripts/package): what a package
# installs beyond `cmake --install` (the metadata a desktop and a software
# centre read, the manual page, the Debian documentation files) and the
# package's own description. Dependencies come from dpkg-shlibdeps.
set(LYRANO_HOMEPAGE "https://lyrano.example.org" CACHE STRING
    "Project home page, named in the package and the AppStream metadata")
set(LYRANO_MAINTAINER_EMAIL "maintainers@lyrano.example.org" CACHE STRING
    "Address of the package's maintainer")
# The date of the release named by project(VERSION); moves with it.
set(LYRANO_RELEASE_DATE "2026-12-10")
set(LYRANO_RELEASE_DATE_RFC2822 "Thu, 10 Dec 2026 00:00:00 +0000")
set(LYRANO_DEB_VERSION "${PROJECT_VERSION}-1")

set(dist ${CMAKE_SOURCE_DIR}/dist)
set(gen ${CMAKE_BINARY_DIR}/dist)
configure_file(${dist}/org.lyrano.lyrano.metainfo.xml.in ${gen}/org.lyrano.lyrano.metainfo.xml
               @ONLY)
configure_file(${dist}/changelog.Debian.in ${gen}/changelog.Debian @ONLY)
# Debian wants manual pages and changelogs compressed, without a time stamp.
add_custom_command(OUTPUT ${gen}/lyrano.1.gz ${gen}/changelog.Debian.gz
  COMMAND gzip -9nc ${dist}/lyrano.1 > ${gen}/lyrano.1.gz
  COMMAND gzip -9nc ${gen}/changelog.Debian > ${gen}/changelog.Debian.gz
  DEPENDS ${dist}/lyrano.1 ${gen}/changelog.Debian
  COMMENT "Compressing the manual page and the changelog")
add_custom_target(lyrano_dist ALL DEPENDS ${gen}/lyrano.1.gz ${gen}/changelog.Debian.gz)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(DIRECTORY ${dist}/icons/ DESTINATION share/icons/hicolor)
install(FILES ${gen}/org.lyrano.lyrano.metainfo.xml DESTINATION share/metainfo)
install(FILES ${gen}/lyrano.1.gz DESTINATION share/man/man1)
install(FILES ${dist}/copyright ${gen}/changelog.Debian.gz DESTINATION share/doc/lyrano)
install(FILES ${dist}/lintian-overrides DESTINATION share/lintian/overrides RENAME lyrano)

set(CPACK_PACKAGE_NAME lyrano)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Lyrano developers")
set(CPACK_PACKAGE_CONTACT "The Lyrano developers <${LYRANO_MAINTAINER_EMAIL}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "compact skinned music player with scrolling lyrics")
set(CPACK_PACKAGE_DESCRIPTION
    "Lyrano is a small skinned music player: one window and a tray icon. It plays
local files (MP3, WMA and anything FFmpeg decodes) and internet streams, keeps
playlists in plain text files, searches an online music site by keyword and
scrolls LRC lyrics in time with the music.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The install script writes the desktop entry for the final prefix, so the
# files are staged with DESTDIR rather than under a changed prefix.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${LYRANO_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Wayland platform plugin and a font with Chinese characters are not
# linked, so dpkg-shlibdeps cannot see them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, fonts-wqy-microhei | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Marks the program folder as the package manager's (see UserFolder), so the
# player never writes into it, not even when root runs it.
set(CPACK_INSTALL_SCRIPTS ${dist}/package-marker.cmake)
include(CPack)
