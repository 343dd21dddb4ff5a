# `cpack` in a build folder makes the Debian package of what install.cmake
# installs, under /usr, into dist/ of the source tree; `make package` runs it.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vistrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0)
set(CPACK_PACKAGE_VENDOR "Orbwell Software")
set(CPACK_PACKAGE_CONTACT "Orbwell Software <support@orbwell.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_SOURCE_DIR}/dist)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies come from the libraries the programs link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "photo enhancer: denoise, magnify and sharpen
Vistrel removes camera noise and JPEG artifacts from photographs, magnifies
them two or four times with detail rebuilt from larger-scale matches, and
sharpens them. A five-step wizard in one window walks from opening a photo
to saving the result, with a zoomable before and after view; several photos
opened together are processed as a batch.
.
The vistrel-cli command runs the same engine from scripts and servers.")

include(CPack)
