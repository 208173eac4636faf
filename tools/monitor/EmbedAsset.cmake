# Writes OUTPUT, a C++ source whose function FUNCTION returns the bytes of INPUT.
file(READ "${INPUT}" bytes HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${bytes}")
file(WRITE "${OUTPUT}"
  "#include <string_view>\n"
  "namespace { const char kBytes[] = {${bytes}}; }\n"
  "std::string_view ${FUNCTION}() { return {kBytes, sizeof kBytes}; }\n")
