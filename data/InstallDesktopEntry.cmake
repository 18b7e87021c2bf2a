# Run by the install step: writes the desktop entry with Exec naming the installed program
# and installs it. Expects QV_DESKTOP_ENTRY_IN, QV_DESKTOP_ENTRY_OUT, QV_BINDIR, QV_DATADIR.
if(IS_ABSOLUTE "${QV_BINDIR}")
  set(program "${QV_BINDIR}/quellvista")
else()
  set(program "${CMAKE_INSTALL_PREFIX}/${QV_BINDIR}/quellvista")
endif()
if(IS_ABSOLUTE "${QV_DATADIR}")
  set(datadir "${QV_DATADIR}")
else()
  set(datadir "${CMAKE_INSTALL_PREFIX}/${QV_DATADIR}")
endif()
# One quoted Exec argument: inside the quotes a backslash, quote, backquote or dollar sign
# is escaped with a backslash; the value then escapes every backslash once more and doubles
# a percent sign.
set(bs "\\")
string(REPLACE "${bs}" "${bs}${bs}" exec "${program}")
string(REPLACE "\"" "${bs}\"" exec "${exec}")
string(REPLACE "`" "${bs}`" exec "${exec}")
string(REPLACE "$" "${bs}$" exec "${exec}")
string(REPLACE "${bs}" "${bs}${bs}" exec "${exec}")
string(REPLACE "%" "%%" exec "${exec}")
set(QV_DESKTOP_EXEC "\"${exec}\"")
configure_file("${QV_DESKTOP_ENTRY_IN}" "${QV_DESKTOP_ENTRY_OUT}" @ONLY)
file(INSTALL DESTINATION "${datadir}/applications" TYPE FILE FILES "${QV_DESKTOP_ENTRY_OUT}")
