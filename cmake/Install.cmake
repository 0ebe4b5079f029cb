# What `make install` puts under the prefix (~/.local by default):
#
#   lib/pictorra/      the program folder: the executables with the help file and the drop sound,
#                      which the programs look for beside themselves;
#   bin/               relative symbolic links into it, so that PATH finds the programs and the
#                      programs still find their folder (they resolve /proc/self/exe);
#   share/applications/pictorra.desktop, share/icons/hicolor/.../pictorra.{svg,png},
#   share/man/man1/pictorra-cli.1.
set(PICTORRA_PROGRAM_DIR lib/pictorra)

set(installed_programs pictorra-cli)
if(TARGET pictorra)  # the desktop program
    list(PREPEND installed_programs pictorra)
endif()
install(TARGETS ${installed_programs} RUNTIME DESTINATION ${PICTORRA_PROGRAM_DIR})
install(FILES ${CMAKE_BINARY_DIR}/pictorra.chm ${CMAKE_BINARY_DIR}/thwoop.wav
        DESTINATION ${PICTORRA_PROGRAM_DIR})

# The prefix is read when installing (cmake --install --prefix may change it), DESTDIR too.
file(RELATIVE_PATH link_to_programs ${CMAKE_INSTALL_PREFIX}/bin
     ${CMAKE_INSTALL_PREFIX}/${PICTORRA_PROGRAM_DIR})
foreach(program IN LISTS installed_programs)
    install(CODE "
        set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/${program}\")
        message(STATUS \"Installing: \${link} -> ${link_to_programs}/${program}\")
        file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
        file(REMOVE \"\${link}\")
        file(CREATE_LINK \"${link_to_programs}/${program}\" \"\${link}\" SYMBOLIC)
        list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${link}\")
    ")
endforeach()

install(FILES ${CMAKE_SOURCE_DIR}/data/pictorra.desktop DESTINATION share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/icons/pictorra.svg
        DESTINATION share/icons/hicolor/scalable/apps)
foreach(size 48 256)
    install(FILES ${CMAKE_SOURCE_DIR}/data/icons/${size}/pictorra.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/docs/pictorra-cli.1 DESTINATION share/man/man1)
