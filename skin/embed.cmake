# Writes the C++ source that embeds the engine library and the skins in the
# program's read-only data. Run at build time, after the library is linked:
#   cmake -DOUTPUT=<file> -DLIBRARY=<engine library> -DSKINS=<file;file;...> -P embed.cmake
# The source is rewritten on every run, so the program always holds the
# library that was just built.

foreach(variable OUTPUT LIBRARY SKINS)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "embed.cmake: ${variable} is not set")
  endif()
endforeach()

# An assembler string: backslashes and quotes escaped.
function(assembler_string path result)
  string(REPLACE "\\" "\\\\" path "${path}")
  string(REPLACE "\"" "\\\"" path "${path}")
  set(${result} "\"${path}\"" PARENT_SCOPE)
endfunction()

# One item: a label, the file's bytes, and the entry of its span.
set(assembly "")
set(declarations "")
function(add_item label path)
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "embed.cmake: ${path} is missing")
  endif()
  file(SIZE "${path}" size)
  if(size EQUAL 0)
    message(FATAL_ERROR "embed.cmake: ${path} is empty")
  endif()
  assembler_string("${path}" quoted)
  string(REPLACE "\\" "\\\\" quoted "${quoted}")
  string(REPLACE "\"" "\\\"" quoted "${quoted}")
  string(APPEND assembly
    "    \".globl ${label}\\n\"\n"
    "    \".hidden ${label}\\n\"\n"
    "    \".balign 16\\n\"\n"
    "    \"${label}:\\n\"\n"
    "    \".incbin ${quoted}\\n\"\n")
  string(APPEND declarations
    "extern \"C\" __attribute__((visibility(\"hidden\"))) const unsigned char ${label}[];\n")
  set(assembly "${assembly}" PARENT_SCOPE)
  set(declarations "${declarations}" PARENT_SCOPE)
  set(item_size ${size} PARENT_SCOPE)
endfunction()

add_item(vorpane_embedded_skin_library "${LIBRARY}")
set(library_entry "std::span<const unsigned char>(vorpane_embedded_skin_library, ${item_size})")

list(LENGTH SKINS skin_count)
set(skin_entries "")
set(number 0)
foreach(skin_file IN LISTS SKINS)
  math(EXPR number "${number} + 1")
  add_item(vorpane_embedded_skin_${number} "${skin_file}")
  string(APPEND skin_entries
    "    std::span<const unsigned char>(vorpane_embedded_skin_${number}, ${item_size}),\n")
endforeach()

file(WRITE "${OUTPUT}"
"// Generated at build time by skin/embed.cmake; edits are lost.\n"
"#include \"shell/skin_embedded.h\"\n"
"\n"
"__asm__(\n"
"    \".pushsection .rodata.vorpane_skin, \\\"a\\\", @progbits\\n\"\n"
"${assembly}"
"    \".popsection\\n\");\n"
"\n"
"${declarations}"
"\n"
"namespace vorpane::embedded {\n"
"\n"
"const std::span<const unsigned char> skin_library = ${library_entry};\n"
"\n"
"const std::array<std::span<const unsigned char>, ${skin_count}> skins = {\n"
"${skin_entries}"
"};\n"
"\n"
"}  // namespace vorpane::embedded\n")
