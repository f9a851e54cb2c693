# Writes vorpane.desktop into the installed folder, pointing at the program
# and the icon where that folder is.
set(folder "${CMAKE_INSTALL_PREFIX}")

# Exec takes a quoted argument: ", `, $ and \ are escaped inside the quotes,
# % is doubled, and then every backslash is escaped once more for the file.
set(program "${folder}/vorpane")
string(REPLACE "\\" "\\\\" program "${program}")
string(REPLACE "\"" "\\\"" program "${program}")
string(REPLACE "`" "\\`" program "${program}")
string(REPLACE "$" "\\$" program "${program}")
string(REPLACE "%" "%%" program "${program}")
string(REPLACE "\\" "\\\\" program "${program}")

set(icon "${folder}/vorpane.png")
string(REPLACE "\\" "\\\\" icon "${icon}")

set(entry "[Desktop Entry]
Type=Application
Name=Vorpane
Comment=Lists the groups of a group site whose invitation code is public
Exec=\"${program}\"
Icon=${icon}
Terminal=false
Categories=Network;Utility;
StartupWMClass=vorpane
")
set(target "$ENV{DESTDIR}${folder}/vorpane.desktop")
message(STATUS "Installing: ${target}")
file(WRITE "${target}" "${entry}")
file(CHMOD "${target}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
     WORLD_READ WORLD_EXECUTE)
