# Installs the program with its files beside it, as it expects to find them:
#   <prefix>/lib/vistrel/{vistrel, vistrel-cli, Help/, Samples/}
# plus links in <prefix>/bin, the desktop entry, icons and AppStream
# metainfo, so that the program appears in the desktop's menu, and the manual
# pages, bash completion and copyright notes.
include(GNUInstallDirs)
# Program files, not libraries: never the multiarch library folder.
set(VISTREL_INSTALL_DIR lib/vistrel)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

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
# The desktop entry names the program by its full path: a prefix such as
# ~/.local is not on the PATH the desktop starts programs with, and GLib
# drops entries whose program it cannot find. The prefix is the one given
# at install time (cmake --install --prefix).
install(CODE "
  set(VISTREL_EXEC \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/vistrel\")
  configure_file(\"${PROJECT_SOURCE_DIR}/data/vistrel.desktop\"
                 \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/vistrel.desktop\" @ONLY)")
install(FILES ${PROJECT_SOURCE_DIR}/data/vistrel.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
foreach(size 16 32 48 64 128)
  install(FILES ${PROJECT_SOURCE_DIR}/data/icons/${size}x${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME vistrel.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vistrel.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo RENAME com.orbwell.Vistrel.metainfo.xml)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vistrel-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME vistrel-cli)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vistrel)

# Manual pages and the change log go compressed, without time stamps.
set(compressed "")
foreach(source vistrel.1 vistrel-cli.1 changelog)
  set(out ${CMAKE_BINARY_DIR}/packaging/${source}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/packaging/${source} > ${out}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/${source} VERBATIM)
  list(APPEND compressed ${out})
endforeach()
add_custom_target(vistrel_compressed_docs ALL DEPENDS ${compressed})
install(FILES ${CMAKE_BINARY_DIR}/packaging/vistrel.1.gz ${CMAKE_BINARY_DIR}/packaging/vistrel-cli.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vistrel RENAME changelog.Debian.gz)
