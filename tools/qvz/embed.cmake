# Writes the file INPUT into the C++ source OUTPUT as the byte array SYMBOL (with SYMBOLLength).
file(READ ${INPUT} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
string(REGEX REPLACE "(('[^']*',){16})" "\\1\n  " bytes "${bytes}")
file(WRITE ${OUTPUT}.tmp "// Generated from ${INPUT} at build time.\n#include <cstddef>\n"
  "extern const char ${SYMBOL}[] = {\n  ${bytes}'\\0'};\n"
  "extern const std::size_t ${SYMBOL}Length = sizeof(${SYMBOL}) - 1;\n")
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
