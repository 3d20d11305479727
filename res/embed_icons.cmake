# Writes OUTPUT: a C++ source holding the PNG files INPUTS as
# platform::IconImage records, in the given order. INPUTS is |-separated.
string(REPLACE "|" ";" INPUTS "${INPUTS}")
set(arrays "")
set(records "")
set(index 0)
foreach(input IN LISTS INPUTS)
  file(READ "${input}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX MATCH "updater-([0-9]+)\\.png$" _ "${input}")
  set(size ${CMAKE_MATCH_1})
  string(APPEND arrays "const unsigned char kIcon${index}[] = {${bytes}};\n")
  string(APPEND records "    {${size}, kIcon${index}, sizeof kIcon${index}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.tmp"
"// Generated from res/icon/*.png by res/embed_icons.cmake.\n"
"#include \"res/icon_images.h\"\n\nnamespace res {\n\nnamespace {\n\n${arrays}\n"
"const platform::IconImage kImages[] = {\n${records}};\n\n}  // namespace\n\n"
"std::span<const platform::IconImage> MainIconImages() { return kImages; }\n\n}  // namespace res\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
