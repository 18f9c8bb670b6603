#include "support/fake_windows.hpp"

#include "platform/text.hpp"

namespace mossglow::fake {

FakeEnvironment::FakeEnvironment() {
  variables_["LOCALAPPDATA"] = std::string(local_app_data);
  folders_.emplace(KnownFolder::desktop, std::string(user_desktop));
  folders_.emplace(KnownFolder::public_desktop, std::string(public_desktop));
}

std::optional<std::string> FakeEnvironment::variable(std::string_view name) {
  for (const auto& [key, value] : variables_) {
    if (equals_ignoring_ascii_case(key, name)) return value;
  }
  return std::nullopt;
}

ComResult<std::string> FakeEnvironment::known_folder(KnownFolder folder) {
  return folders_.at(folder);
}

void FakeEnvironment::set_variable(std::string name, std::optional<std::string> value) {
  if (value) {
    variables_[std::move(name)] = std::move(*value);
  } else {
    variables_.erase(name);
  }
}

void FakeEnvironment::set_known_folder(KnownFolder folder, ComResult<std::string> answer) {
  folders_.insert_or_assign(folder, std::move(answer));
}

std::string Snapshot::describe() const {
  std::string text = operation;
  if (!path.empty()) text.append(" ").append(path);
  if (!step.empty()) text.append(" (").append(step).append(")");
  return text;
}

FakeWindows::FakeWindows() {
  files.add_directory(user_desktop);
  files.add_directory(public_desktop);
  files.add_directory(local_app_data);
}

Snapshot FakeWindows::snapshot(std::string operation) const {
  return Snapshot{std::move(operation), {}, {}, files.state(), registry.state(),
                  faults.mutations()};
}

void FakeWindows::load(const Snapshot& snapshot, Stop stop) {
  files.load_state(FakeFileSystem::after_stop(snapshot.files, stop));
  registry.load_state(FakeRegistry::after_stop(snapshot.registry, stop));
}

void FakeWindows::changed(Op operation, std::string_view path, std::string_view step) {
  view.entry_changed(path);
  if (!recording_) return;
  history_.push_back(Snapshot{std::string(op_name(operation)), std::string(path), std::string(step),
                              files.state(), registry.state(), faults.mutations()});
}

}  // namespace mossglow::fake
