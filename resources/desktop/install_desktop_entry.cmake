# Run by `cmake --install`: writes the desktop entry with the full path of the installed
# program, since the prefix's bin folder (~/.local/bin, say) is often not yet on the desktop
# session's PATH after a first install. Set before this runs: MUGWARP_DESKTOP_TEMPLATE,
# MUGWARP_DESKTOP_NAME (the entry's file name), MUGWARP_BINDIR and MUGWARP_DATADIR (both
# relative to the prefix, or absolute).
foreach(dir MUGWARP_BINDIR MUGWARP_DATADIR)
  if(IS_ABSOLUTE "${${dir}}")
    set(${dir}_FULL "${${dir}}")
  else()
    set(${dir}_FULL "${CMAKE_INSTALL_PREFIX}/${${dir}}")
  endif()
endforeach()
set(program "${MUGWARP_BINDIR_FULL}/mugwarp")

# An Exec key's argument is quoted when it holds anything but plain path characters; inside
# the quotes " ` $ and \ take a backslash, and the entry's string escaping doubles every
# backslash again. A literal % is written %%.
if(program MATCHES "^[A-Za-z0-9/._+-]+$")
  set(MUGWARP_EXEC "${program}")
else()
  string(REPLACE "\\" "\\\\\\\\" quoted "${program}")
  string(REPLACE "\"" "\\\\\"" quoted "${quoted}")
  string(REPLACE "`" "\\\\`" quoted "${quoted}")
  string(REPLACE "$" "\\\\$" quoted "${quoted}")
  string(REPLACE "%" "%%" quoted "${quoted}")
  set(MUGWARP_EXEC "\"${quoted}\"")
endif()

set(entry "$ENV{DESTDIR}${MUGWARP_DATADIR_FULL}/applications/${MUGWARP_DESKTOP_NAME}")
message(STATUS "Installing: ${entry}")
configure_file("${MUGWARP_DESKTOP_TEMPLATE}" "${entry}" @ONLY)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${entry}")
