# Install rules (cmake --install, and the Debian package through CPack).
#
# The programs and the plug-ins live together in GAZORIN_INSTALL_PROGRAM_DIR (lib/gazorin):
# a program loads the plug-ins of its own folder, the folder of the resolved executable, so
# the shipped plug-ins are found under any prefix and with any DESTDIR, and that folder still
# means "where the program is". bin/ holds relative symlinks to the programs.

# Programs, plug-ins and whatever the plug-ins run beside them. Helper programs that must sit
# next to the plug-ins (such as a bridge that runs Windows plug-ins) install here too:
#   install(TARGETS my-helper RUNTIME DESTINATION ${GAZORIN_INSTALL_PROGRAM_DIR})
set(programs gazorin-cli)
if(GAZORIN_BUILD_GUI)
  list(APPEND programs gazorin)
endif()
set(GAZORIN_INSTALLED_PROGRAMS ${programs})
install(TARGETS ${programs} ${GAZORIN_SHIPPED_PLUGINS}
  RUNTIME DESTINATION ${GAZORIN_INSTALL_PROGRAM_DIR}
  LIBRARY DESTINATION ${GAZORIN_INSTALL_PROGRAM_DIR})

# bin/PROGRAM -> ../lib/gazorin/PROGRAM, made in the build folder and installed as a link.
file(RELATIVE_PATH program_dir_from_bin ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_LIBDIR}/gazorin)
foreach(program ${programs})
  set(link ${CMAKE_BINARY_DIR}/bin-links/${program})
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/bin-links)
  file(CREATE_LINK ${program_dir_from_bin}/${program} ${link} SYMBOLIC)
  install(FILES ${link} DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

# The desktop program's translations are built into it (src/workspace/CMakeLists.txt): nothing
# to install for them.

# The header plug-in authors build against.
install(FILES ${PROJECT_SOURCE_DIR}/plugins/include/susie_plugin.h
              ${PROJECT_SOURCE_DIR}/plugins/include/susie_plugin_windows.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/gazorin)

install(FILES ${GAZORIN_MAN_PAGES_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/desktop/debian/copyright ${GAZORIN_CHANGELOG_GZ}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/gazorin)

if(GAZORIN_BUILD_GUI)
  install(FILES ${GAZORIN_DESKTOP_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${GAZORIN_METAINFO_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(DIRECTORY ${GAZORIN_ICON_DIR}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
endif()
