# What `cmake --install build --prefix PREFIX` (and `make install`) puts on
# the system: the program, its desktop entry and icon, so that a desktop
# lists it and offers it for data files, and its man page.
include(GNUInstallDirs)

install(TARGETS tivrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES dist/tivrel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES dist/tivrel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES dist/tivrel.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
