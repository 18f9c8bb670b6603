#pragma once

#include <expected>
#include <string>

namespace mossglow {

// A finished operation's report: its text, and whether the user should read it.
struct Report {
  std::string text;
  bool needs_attention = false;
};

// What an apply or a restore yields: a report, or an error text when it stopped early.
using OperationOutcome = std::expected<Report, std::string>;

}  // namespace mossglow
