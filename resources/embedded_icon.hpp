#pragma once

#include <string_view>

namespace mossglow {

// The mascot icon (an ICO of seven PNG images) exactly as resources/brambun.ico holds it.
std::string_view embedded_icon_bytes();

}  // namespace mossglow
