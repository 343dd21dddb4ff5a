# Installs the program with its files beside it, as it expects to find them:
#   <prefix>/lib/vistrel/{vistrel, vistrel-cli, Help/, Samples/}
# plus links in <prefix>/bin and the desktop entry and icon, so that the
# program appears in the desktop's menu.
include(GNUInstallDirs)
set(VISTREL_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/vistrel)

foreach(program vistrel vistrel-cli)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${VISTREL_INSTALL_DIR})
    # A relative link: the program finds its folder through the link's target.
    install(CODE "
      file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
      file(CREATE_LINK ../${VISTREL_INSTALL_DIR}/${program}
           \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\" SYMBOLIC)")
  endif()
endforeach()

install(DIRECTORY ${PROJECT_SOURCE_DIR}/Help/ DESTINATION ${VISTREL_INSTALL_DIR}/Help)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/Samples/ DESTINATION ${VISTREL_INSTALL_DIR}/Samples)
install(FILES ${PROJECT_SOURCE_DIR}/data/vistrel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/vistrel.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
