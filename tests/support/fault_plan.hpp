#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace mossglow::fake {

// Every call the program can make of the fake Windows, by method. Each is matched on
// one path, which hooks and the call log see as the caller gave it:
enum class Op {
  // FileSystem: the path; the source for the renames, the replaced file for
  // replace_file.
  metadata,
  get_attributes,
  set_attributes,
  list_directory,
  read_file,
  write_file,
  write_in_place,
  flush_file,
  create_new_file,
  rename_replace,
  rename_new,
  replace_file,
  delete_file,
  create_directories,
  // Shell: the internet shortcut or the file asked about (the path notified, or none,
  // for change_notify); none for the in-memory link_bytes_with_icon, new_link_bytes and
  // link_from_bytes.
  link_bytes_with_icon,
  new_link_bytes,
  link_from_bytes,
  set_url_icon,
  icon_location,
  change_notify,
  // Registry: the subkey for open_key and create_key; the value name (empty for the
  // default value) for query_value, set_value and delete_value; none for flush_key.
  open_key,
  create_key,
  query_value,
  set_value,
  delete_value,
  flush_key,
};
inline constexpr std::size_t op_count = static_cast<std::size_t>(Op::flush_key) + 1;

// "write_file", as the method is named.
std::string_view op_name(Op op);
// Whether a call may change the machine: the file calls that write, rename, delete,
// flush, set attributes or create folders; the shell's writes of internet shortcut keys;
// the registry's create_key, set_value, delete_value and flush_key.
bool mutates(Op op);

// A failure to give a call: a Win32 code, or an HRESULT for the shell's calls.
using Failure = std::optional<std::uint32_t>;

// The one plan of a fake Windows, shared by its files, shell and registry. It counts
// every call the program makes, fails the calls a test asks to fail, and runs a test's
// hooks around them. What the fake does for itself (the shell reading a link it loads)
// is no call of the program's and goes by unseen.
class FaultPlan {
 public:
  struct Call {
    Op op;
    std::string path;
    std::string describe() const;  // "write_file C:\x.tmp"
  };

  // The nth call of `op` from now on (counted from 1; only those on `path`, when one is
  // given) fails with `code`. Paths compare as the fake compares names.
  void fail_nth(Op op, int nth, std::uint32_t code,
                std::optional<std::string_view> path = std::nullopt);
  // Every call of `op` on `path` fails with `code`.
  void fail_on_path(Op op, std::string_view path, std::uint32_t code);
  // The nth mutating call from now on, whatever it is, fails with this Win32 code (the
  // shell's as an HRESULT made of it) before it changes anything. One exception, however
  // the plan fails it: a replace_file failing with ERROR_UNABLE_TO_MOVE_REPLACEMENT has
  // already removed the replaced file, as ReplaceFileW has.
  void fail_mutation(int nth, std::uint32_t win32_code);

  // Runs `hook` just before each call of `op` on `path` (nothing: on any path), for a
  // change of the machine between two calls of the program. A hook that returns a
  // Failure with a code fails the call with it. Calls a hook makes run no hooks.
  template <class Hook>
  void before(Op op, std::optional<std::string_view> path, Hook hook) {
    if constexpr (std::is_void_v<std::invoke_result_t<Hook&>>) {
      add_hook(before_, op, path, [hook = std::move(hook)]() mutable -> Failure {
        hook();
        return std::nullopt;
      });
    } else {
      refuse_unfailable(op);
      add_hook(before_, op, path, std::move(hook));
    }
  }
  // Runs `hook` once each such call has succeeded.
  void after(Op op, std::optional<std::string_view> path, std::function<void()> hook);
  // Drops every failure and hook asked for; the counts go on.
  void clear();

  // Calls made since the fake Windows was made, failed ones included.
  int calls(Op op) const { return calls_[static_cast<std::size_t>(op)]; }
  int mutations() const { return static_cast<int>(mutating_calls_.size()); }
  const std::vector<Call>& mutating_calls() const { return mutating_calls_; }

  // --- for the fakes ---
  // Counts a call as it starts, runs the hooks before it, and answers whether it fails
  // (a hook's code first, then a rule's, then the mutation's).
  Failure enter(Op op, std::string_view path);
  // Runs the hooks after a call that succeeded.
  void succeeded(Op op, std::string_view path);
  // One call of a fake: a failure ends it as `fail(code)` before anything happens, and
  // the hooks after it run once it has succeeded.
  template <class Fail, class Body>
  auto run(Op op, std::string_view path, Fail fail, Body body) -> decltype(body()) {
    if (const Failure code = enter(op, path)) return fail(*code);
    auto result = body();
    if (result) succeeded(op, path);
    return result;
  }

 private:
  struct Rule {
    Op op;
    std::optional<std::string> path;  // folded; nothing: any
    int nth;                          // 0: every call
    std::uint32_t code;
    int seen = 0;
  };
  struct Hook {
    Op op;
    std::optional<std::string> path;  // folded; nothing: any
    std::function<Failure()> run;
  };

  void add_hook(std::vector<Hook>& hooks, Op op, std::optional<std::string_view> path,
                std::function<Failure()> run);
  // Whether a rule or hook is for a call of `op` on the `folded` path.
  static bool applies(const auto& entry, Op op, const std::string& folded) {
    return entry.op == op && (!entry.path || *entry.path == folded);
  }
  Failure run_hooks(const std::vector<Hook>& hooks, Op op, const std::string& folded);
  static void refuse_unfailable(Op op);

  std::array<int, op_count> calls_{};
  std::vector<Call> mutating_calls_;
  std::vector<Rule> rules_;
  std::vector<std::pair<int, std::uint32_t>> mutation_failures_;  // by mutating call
  std::vector<Hook> before_;
  std::vector<Hook> after_;
  bool in_hook_ = false;
};

}  // namespace mossglow::fake
