# cpack -G DEB builds parlo_<version>_<arch>.deb from the install rules.
set(CPACK_PACKAGE_NAME parlo)
set(CPACK_PACKAGE_VENDOR "The Parlo developers")
set(CPACK_PACKAGE_CONTACT "Parlo maintainers <${PARLO_BUG_MAILBOX}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "text-to-speech reader for books")
# Lines short enough for Debian's package tools, which show them indented.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
       "Parlo reads plain-text, HTML, RTF and EPUB books aloud with an installed"
       "speech voice, sentence by sentence, selecting each sentence while it is"
       "spoken. It reads books into WAV files, keeps a pronunciation list and your"
       "place in every book, and finds and downloads books from Project Gutenberg.")
set(CPACK_PACKAGE_HOMEPAGE_URL "${PARLO_MAKER_SITE}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY parlo)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The voices' data and a sound server are not found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "espeak-ng-data")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "pulseaudio | pipewire-pulse, qt6-wayland, gnome-icon-theme | oxygen-icon-theme")
# Directories the package shares with others stay theirs: only our own files are listed.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)

include(CPack)
