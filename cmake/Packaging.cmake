# Install rules and the Debian package. `cmake --build --preset release --target package` writes
# build/release/verolux_<version>_<arch>.deb. The programs live together under /usr/lib/verolux;
# the starter /usr/bin/verolux runs them from each user's own program folder.

set(VEROLUX_LIBDIR lib/verolux)
set(VEROLUX_ICON_SIZES 16 22 24 32 48 64 128 256)
set(pkg ${PROJECT_SOURCE_DIR}/packaging)
set(out ${CMAKE_BINARY_DIR}/packaging)

# The programs. The designer joins them when it is part of the build.
set(programs Verolux Kestrane verolux-render)
set(icons verolux)
if(TARGET verolux-designer)
  list(APPEND programs verolux-designer)
  list(APPEND icons verolux-designer)
  install(FILES ${pkg}/verolux-designer.desktop DESTINATION share/applications)
endif()
install(TARGETS ${programs} RUNTIME DESTINATION ${VEROLUX_LIBDIR})
# Stripped as Debian strips its packages (dh_strip): the compiler's .comment and the .note section go too.
find_program(VEROLUX_OBJCOPY NAMES ${CMAKE_OBJCOPY} objcopy REQUIRED)
foreach(program IN LISTS programs)
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${VEROLUX_OBJCOPY}\" --remove-section=.comment --remove-section=.note
                    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${VEROLUX_LIBDIR}/${program}\" COMMAND_ERROR_IS_FATAL ANY)
  endif()")
endforeach()
install(PROGRAMS ${pkg}/verolux DESTINATION bin)
install(FILES ${pkg}/verolux.desktop DESTINATION share/applications)
install(FILES ${pkg}/verolux-autostart.desktop DESTINATION /etc/xdg/autostart RENAME verolux.desktop)
install(FILES ${pkg}/verolux.ini DESTINATION /etc/verolux)

# Icons: the SVGs are the sources; the PNG sizes are rendered from them.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(GZIP gzip REQUIRED)
set(generated)
foreach(icon IN LISTS icons)
  install(FILES ${pkg}/icons/${icon}.svg DESTINATION share/icons/hicolor/scalable/apps)
  foreach(size IN LISTS VEROLUX_ICON_SIZES)
    set(png ${out}/icons/${size}x${size}/${icon}.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${out}/icons/${size}x${size}
      COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${pkg}/icons/${icon}.svg
      DEPENDS ${pkg}/icons/${icon}.svg VERBATIM)
    list(APPEND generated ${png})
    install(FILES ${png} DESTINATION share/icons/hicolor/${size}x${size}/apps)
  endforeach()
endforeach()

# Documents, compressed as Debian keeps them.
configure_file(${pkg}/changelog.in ${out}/changelog @ONLY)
foreach(doc changelog verolux.1)
  if(doc STREQUAL "changelog")
    set(src ${out}/changelog)
  else()
    set(src ${pkg}/${doc})
  endif()
  add_custom_command(OUTPUT ${out}/${doc}.gz
    COMMAND ${GZIP} -9n -c ${src} > ${out}/${doc}.gz
    DEPENDS ${src})
  list(APPEND generated ${out}/${doc}.gz)
endforeach()
add_custom_target(verolux_package_files ALL DEPENDS ${generated})
install(FILES ${pkg}/copyright ${out}/changelog.gz ${PROJECT_SOURCE_DIR}/docs/administration.md
        DESTINATION share/doc/verolux)
install(FILES ${out}/verolux.1.gz DESTINATION share/man/man1)
install(FILES ${pkg}/verolux.lintian-overrides DESTINATION share/lintian/overrides RENAME verolux)

# Files under /etc are the administrator's: kept over upgrades and removal, gone on purge.
file(WRITE ${out}/conffiles "/etc/verolux/verolux.ini\n/etc/xdg/autostart/verolux.desktop\n")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME verolux)
set(CPACK_PACKAGE_VENDOR "Verolux developers")
set(CPACK_PACKAGE_CONTACT "Verolux developers <dev@verolux.app>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "print agent for the reports of a web application")
# Lines of at most 72 characters, without ";" (a CMake list separator).
set(CPACK_PACKAGE_DESCRIPTION [=[
Web pages send print requests to the agent over a local WebSocket
(port 28502): a report template, its data rows and what to do with
it. The agent keeps the templates, fills them and prints the reports,
shows them in a preview window, exports them as PDF files uploaded to
the web application, or opens them in its designer. It runs in the
notification area from a program folder of each user's own, started
at login, and its launcher keeps it up to date.]=])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Chinese report texts need a CJK font (Debian's default first). The libraries the programs link
# (libcups2 among them) come from shlibdeps with their versions: naming one here too would list it twice.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk | fonts-wqy-microhei")
# Qt's own dialogs (print, file, message boxes) in Chinese, like the agent's windows.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${out}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
