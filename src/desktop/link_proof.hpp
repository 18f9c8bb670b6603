#pragma once

#include <string_view>

#include "platform/result.hpp"
#include "platform/shell.hpp"
#include "platform/system.hpp"

namespace mossglow {

// Why a link made for an item is not written: the shell link object does not give back
// what it was given (a target of 260 characters or more comes back cut short or as
// junk under some versions of Windows, for one).
inline constexpr std::string_view link_cannot_hold_target =
    "快捷方式无法保存这个目标（路径过长或名称不受支持），已保留原项目";

// Passes when a link's bytes, read back by the shell link object, hold the target,
// arguments, working directory and icon location `made` gave it. A link is proven this
// way before it is written, so no item is ever hidden behind a link that leads elsewhere.
Status expect_link_holds(const System& sys, std::string_view link_bytes, const NewLink& made);

}  // namespace mossglow
