# Writes OUTPUT, a C++ file defining mossglow::embedded_icon_bytes() over the bytes of INPUT.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){24})" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}" "// Generated from brambun.ico at build time; do not edit.
#include \"embedded_icon.hpp\"

namespace mossglow {
namespace {
constexpr unsigned char icon_bytes[${size}] = {
    ${bytes}
};
}  // namespace

std::string_view embedded_icon_bytes() {
  return {reinterpret_cast<const char*>(icon_bytes), sizeof icon_bytes};
}
}  // namespace mossglow
")
