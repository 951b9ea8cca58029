# The Debian package: cpack -G DEB in the build folder makes gazorin_<version>_amd64.deb. Its
# library dependencies are found by dpkg-shlibdeps; Qt's platform plug-ins are named by hand
# because the programs load them at run time without linking them.

set(CPACK_PACKAGE_NAME gazorin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Gazorin developers")
set(CPACK_PACKAGE_CONTACT "Gazorin developers <gazorin@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop picture joiner")
set(CPACK_PACKAGE_DESCRIPTION
"Gazorin joins pictures into one. Each picture opened is attached to the current
picture above, below, left or right of it, at the start, centre or end of the
shared edge or at a chosen spot, optionally mirrored first, on a canvas that
grows or keeps its size. Pictures are never scaled; uncovered canvas is white.
The result is saved as JPEG or PNG.

Bitmap, icon, metafile, PNG and JPEG files open directly; GIF, TIFF, WebP, PNM
and TGA files through the decoder plug-ins that come with it. The companion
program gazorin-cli does the same joins from scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(GAZORIN_BUILD_GUI)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
  # Qt's own dialogs in the locale's language, and a font with the Japanese texts.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-ipafont-gothic | fonts-noto-cjk")
endif()

# Windows plug-ins run under Wine, which the package does not need otherwise.
if(GAZORIN_BRIDGE_PROGRAMS)
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "wine, wine32")
endif()

include(CPack)
