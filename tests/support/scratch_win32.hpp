#pragma once

#include <string>
#include <string_view>

namespace mossglow::testing_support {

// A program text (WTF-8) as the wide string Win32 calls take.
std::wstring wide(std::string_view text);

// Removes a scratch tree the tests made, clearing the attribute bits they set on the
// way. A linked folder is removed without following it into its target.
void remove_tree(const std::wstring& path);

}  // namespace mossglow::testing_support
