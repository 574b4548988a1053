# Runs at install time, inside `cmake --install`: the bin/lyrano link into the
# program folder and the desktop entry naming the installed program. The
# prefix is only known here (`--prefix` may differ from the configured one).
set(prefix "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")

file(MAKE_DIRECTORY "${prefix}/bin")
file(REMOVE "${prefix}/bin/lyrano")
file(CREATE_LINK "../lib/lyrano/lyrano" "${prefix}/bin/lyrano" SYMBOLIC)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${prefix}/bin/lyrano")
message(STATUS "Installing: ${prefix}/bin/lyrano -> ../lib/lyrano/lyrano")

# Exec names the installed program whatever PATH holds; quoted for blanks.
file(READ "${LYRANO_DESKTOP_TEMPLATE}" entry)
string(REPLACE "\\" "\\\\\\\\" exec "${CMAKE_INSTALL_PREFIX}/bin/lyrano")
string(REPLACE "\"" "\\\\\"" exec "${exec}")
string(REPLACE "$" "\\\\$" exec "${exec}")
string(REPLACE "`" "\\\\`" exec "${exec}")
string(REPLACE "%" "%%" exec "${exec}")
string(REPLACE "@LYRANO_EXEC@" "\"${exec}\"" entry "${entry}")
file(MAKE_DIRECTORY "${prefix}/share/applications")
file(WRITE "${prefix}/share/applications/lyrano.desktop" "${entry}")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${prefix}/share/applications/lyrano.desktop")
message(STATUS "Installing: ${prefix}/share/applications/lyrano.desktop")
