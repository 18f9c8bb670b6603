#include "support/fault_plan.hpp"

#include <stdexcept>

#include "platform/result.hpp"
#include "platform/text.hpp"
#include "support/fake_file_system.hpp"

namespace mossglow::fake {
namespace {

struct OpInfo {
  std::string_view name;
  bool mutates;
};
// In the order of Op.
constexpr std::array<OpInfo, op_count> ops{{
    {"metadata", false},       {"get_attributes", false},    {"set_attributes", true},
    {"list_directory", false}, {"read_file", false},         {"write_file", true},
    {"write_in_place", true},  {"flush_file", true},         {"create_new_file", true},
    {"rename_replace", true},  {"rename_new", true},         {"replace_file", true},
    {"delete_file", true},     {"create_directories", true}, {"link_bytes_with_icon", false},
    {"new_link_bytes", false}, {"link_from_bytes", false},   {"set_url_icon", true},
    {"icon_location", false},  {"change_notify", false},     {"open_key", false},
    {"create_key", true},      {"query_value", false},       {"set_value", true},
    {"delete_value", true},    {"flush_key", true},
}};
constexpr const OpInfo& info(Op op) { return ops[static_cast<std::size_t>(op)]; }
static_assert(info(Op::create_directories).name == "create_directories" &&
              info(Op::change_notify).name == "change_notify" &&
              info(Op::flush_key).name == "flush_key");

bool is_shell(Op op) { return op >= Op::link_bytes_with_icon && op <= Op::change_notify; }

// A path as the part of the fake that answers the call compares it.
std::string fold(Op op, std::string_view path) {
  return op >= Op::open_key ? ascii_lower(path) : FakeFileSystem::fold(path);
}

std::optional<std::string> fold(Op op, std::optional<std::string_view> path) {
  if (!path) return std::nullopt;
  return fold(op, *path);
}

}  // namespace

std::string_view op_name(Op op) { return info(op).name; }
bool mutates(Op op) { return info(op).mutates; }

std::string FaultPlan::Call::describe() const {
  std::string text(op_name(op));
  if (!path.empty()) text.append(" ").append(path);
  return text;
}

void FaultPlan::fail_nth(Op op, int nth, std::uint32_t code, std::optional<std::string_view> path) {
  refuse_unfailable(op);
  rules_.push_back(Rule{op, fold(op, path), nth, code});
}

void FaultPlan::fail_on_path(Op op, std::string_view path, std::uint32_t code) {
  refuse_unfailable(op);
  rules_.push_back(Rule{op, fold(op, path), 0, code});
}

void FaultPlan::fail_mutation(int nth, std::uint32_t win32_code) {
  mutation_failures_.emplace_back(mutations() + nth, win32_code);
}

void FaultPlan::after(Op op, std::optional<std::string_view> path, std::function<void()> hook) {
  add_hook(after_, op, path, [hook = std::move(hook)]() -> Failure {
    hook();
    return std::nullopt;
  });
}

void FaultPlan::clear() {
  rules_.clear();
  mutation_failures_.clear();
  before_.clear();
  after_.clear();
}

void FaultPlan::add_hook(std::vector<Hook>& hooks, Op op, std::optional<std::string_view> path,
                         std::function<Failure()> run) {
  hooks.push_back(Hook{op, fold(op, path), std::move(run)});
}

void FaultPlan::refuse_unfailable(Op op) {
  // SHChangeNotify reports nothing, so a failure planned for it could never show.
  if (op == Op::change_notify) throw std::invalid_argument("change_notify cannot fail");
}

Failure FaultPlan::run_hooks(const std::vector<Hook>& hooks, Op op, const std::string& folded) {
  if (in_hook_) return std::nullopt;
  Failure failure;
  // By index, and each hook held while it runs: a hook may add hooks.
  for (std::size_t i = 0; i < hooks.size(); ++i) {
    if (!applies(hooks[i], op, folded)) continue;
    const auto run = hooks[i].run;
    in_hook_ = true;
    const Failure code = run();
    in_hook_ = false;
    if (!failure) failure = code;
  }
  return failure;
}

Failure FaultPlan::enter(Op op, std::string_view path) {
  ++calls_[static_cast<std::size_t>(op)];
  Failure mutation;
  if (mutates(op)) {
    mutating_calls_.push_back(Call{op, std::string(path)});
    for (const auto& [nth, code] : mutation_failures_) {
      if (nth == mutations()) mutation = is_shell(op) ? hresult_from_win32(code).value : code;
    }
  }
  // Folded only when something may ask: most calls meet no rule and no hook.
  const std::string folded = rules_.empty() && before_.empty() ? "" : fold(op, path);
  const Failure hooked = run_hooks(before_, op, folded);
  Failure ruled;
  for (Rule& rule : rules_) {
    if (!applies(rule, op, folded)) continue;
    ++rule.seen;
    if (!ruled && (rule.nth == 0 || rule.seen == rule.nth)) ruled = rule.code;
  }
  return hooked ? hooked : ruled ? ruled : mutation;
}

void FaultPlan::succeeded(Op op, std::string_view path) {
  if (!after_.empty()) (void)run_hooks(after_, op, fold(op, path));
}

}  // namespace mossglow::fake
