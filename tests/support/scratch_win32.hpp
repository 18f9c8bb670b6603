#pragma once

#include <string>
#include <string_view>

#include "platform/result.hpp"
#include "platform/shell.hpp"

namespace mossglow::testing_support {

// A program text (WTF-8) as the wide string Win32 calls take.
std::wstring wide(std::string_view text);

// Removes a scratch tree the tests made, clearing the attribute bits they set on the
// way. A linked folder is removed without following it into its target.
void remove_tree(const std::wstring& path);

// The shell link object saving a link to a file itself (IPersistFile::Save), and
// loading one, changing its icon and saving it in place: what Windows programs do, and
// what the program's in-memory links must equal byte for byte.
ComResult<void> save_link_with_shell(std::string_view path, const NewLink& link);
ComResult<void> set_link_icon_with_shell(std::string_view path, std::string_view icon_path);

}  // namespace mossglow::testing_support
