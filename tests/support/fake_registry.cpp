#include "support/fake_registry.hpp"

#include <algorithm>

#include "platform/text.hpp"
#include "support/text_bytes.hpp"

namespace mossglow::fake {
namespace {

constexpr std::uint32_t error_invalid_handle = 6;
constexpr std::uint32_t error_key_deleted = 1018;

std::unexpected<Win32Error> failed(std::uint32_t code) { return std::unexpected(Win32Error{code}); }

}  // namespace

std::string FakeRegistry::key_path(RegistryRoot root, std::string_view subkey) {
  std::string path = root == RegistryRoot::classes_root ? "hkcr" : "hkcu";
  for (std::size_t start = 0; start <= subkey.size();) {
    const std::size_t end = std::min(subkey.find('\\', start), subkey.size());
    // Windows ignores empty components between separators; so does the model.
    // Appended piecewise: GCC 12 at -O3 warns falsely (-Wrestrict) about "\\" + string.
    if (end > start) {
      path += '\\';
      path += ascii_lower(subkey.substr(start, end - start));
    }
    start = end + 1;
  }
  return path;
}

std::string FakeRegistry::shown(const RegistryKey& key, std::string_view name) const {
  const auto handle = handles_.find(key.handle());
  std::string text = handle == handles_.end() ? "(no key)" : handle->second.key;
  text.append(" [").append(name).append("]");
  return text;
}

void FakeRegistry::changed(Op operation, std::string_view shown) {
  observer_.changed(operation, shown, {});
}

void FakeRegistry::create_path(const std::string& path) {
  for (std::size_t end = path.find('\\'); end != std::string::npos;
       end = path.find('\\', end + 1)) {
    keys_.try_emplace(path.substr(0, end));
  }
  keys_.try_emplace(path);
}

OsResult<RegistryKey> FakeRegistry::open_key(RegistryRoot root, std::string_view subkey,
                                             std::uint32_t access) {
  return faults_.run(Op::open_key, subkey, failed, [&]() -> OsResult<RegistryKey> {
    const std::string path = key_path(root, subkey);
    // The roots always exist.
    if (path.find('\\') != std::string::npos && !keys_.contains(path)) {
      return failed(error_file_not_found);
    }
    keys_.try_emplace(path);
    const std::uintptr_t handle = next_handle_++;
    handles_.emplace(handle, Handle{path, access});
    return RegistryKey(*this, handle);
  });
}

OsResult<RegistryKey> FakeRegistry::create_key(RegistryRoot root, std::string_view subkey,
                                               std::uint32_t access) {
  return faults_.run(Op::create_key, subkey, failed, [&]() -> OsResult<RegistryKey> {
    const std::string path = key_path(root, subkey);
    const std::size_t before = keys_.size();
    create_path(path);
    if (keys_.size() != before) changed(Op::create_key, path);
    const std::uintptr_t handle = next_handle_++;
    handles_.emplace(handle, Handle{path, access});
    return RegistryKey(*this, handle);
  });
}

OsResult<FakeRegistry::Key*> FakeRegistry::key_of(const RegistryKey& key,
                                                  std::uint32_t needed_access) {
  const auto handle = handles_.find(key.handle());
  if (handle == handles_.end()) return failed(error_invalid_handle);
  const auto found = keys_.find(handle->second.key);
  if (found == keys_.end()) return failed(error_key_deleted);
  if ((handle->second.access & needed_access) != needed_access) {
    return failed(error_access_denied);
  }
  return &found->second;
}

ValueQuery FakeRegistry::query_value(const RegistryKey& key, std::string_view name,
                                     std::span<std::uint8_t> buffer) {
  if (const Failure code = faults_.enter(Op::query_value, name)) return ValueQuery{*code};
  const ValueQuery answer = [&] {
    const auto opened = key_of(key, key_query_value);
    if (!opened) return ValueQuery{opened.error().code};
    const auto found = (*opened)->values.find(ascii_lower(name));
    if (found == (*opened)->values.end()) return ValueQuery{error_file_not_found};
    const StoredValue& stored = found->second.value;
    const auto size = static_cast<std::uint32_t>(stored.bytes.size());
    if (buffer.size() < stored.bytes.size()) return ValueQuery{error_more_data, stored.type, size};
    std::ranges::copy(stored.bytes, buffer.begin());
    return ValueQuery{0, stored.type, size};
  }();
  if (answer.code == 0) faults_.succeeded(Op::query_value, name);
  return answer;
}

OsResult<void> FakeRegistry::set_value(const RegistryKey& key, std::string_view name,
                                       std::uint32_t type, std::span<const std::uint8_t> bytes) {
  return faults_.run(Op::set_value, name, failed, [&]() -> OsResult<void> {
    const auto opened = key_of(key, key_set_value);
    if (!opened) return std::unexpected(opened.error());
    auto& slot = (*opened)->values[ascii_lower(name)];
    // Windows keeps the letter case of the name that created the value.
    if (slot.name.empty()) slot.name = std::string(name);
    slot.value = StoredValue{type, {bytes.begin(), bytes.end()}};
    changed(Op::set_value, shown(key, name));
    return {};
  });
}

OsResult<void> FakeRegistry::delete_value(const RegistryKey& key, std::string_view name) {
  return faults_.run(Op::delete_value, name, failed, [&]() -> OsResult<void> {
    const auto opened = key_of(key, key_set_value);
    if (!opened) return std::unexpected(opened.error());
    if ((*opened)->values.erase(ascii_lower(name)) == 0) return failed(error_file_not_found);
    changed(Op::delete_value, shown(key, name));
    return {};
  });
}

OsResult<void> FakeRegistry::flush_key(const RegistryKey& key) {
  return faults_.run(Op::flush_key, {}, failed, [&]() -> OsResult<void> {
    const auto opened = key_of(key, 0);
    if (!opened) return std::unexpected(opened.error());
    // The whole hive goes to disk: every key under the same root.
    const std::string& path = handles_.at(key.handle()).key;
    const std::string root = path.substr(0, path.find('\\'));
    for (auto& [name, stored] : keys_) {
      if (name == root || name.starts_with(root + '\\')) stored.durable = stored.values;
    }
    changed(Op::flush_key, path);
    return {};
  });
}

void FakeRegistry::close_key(std::uintptr_t handle) { handles_.erase(handle); }

void FakeRegistry::add_key(RegistryRoot root, std::string_view subkey) {
  create_path(key_path(root, subkey));
}

void FakeRegistry::remove_key(RegistryRoot root, std::string_view subkey) {
  const std::string path = key_path(root, subkey);
  std::string below = path;
  below += '\\';
  std::erase_if(keys_, [&](const auto& entry) {
    return entry.first == path || entry.first.starts_with(below);
  });
}

bool FakeRegistry::key_exists(RegistryRoot root, std::string_view subkey) const {
  return keys_.contains(key_path(root, subkey));
}

void FakeRegistry::put_value(RegistryRoot root, std::string_view subkey, std::string_view name,
                             StoredValue value) {
  const std::string path = key_path(root, subkey);
  create_path(path);
  Key& key = keys_[path];
  key.values[ascii_lower(name)] = Named{std::string(name), std::move(value)};
  key.durable = key.values;
}

std::optional<StoredValue> FakeRegistry::value(RegistryRoot root, std::string_view subkey,
                                               std::string_view name) const {
  const auto key = keys_.find(key_path(root, subkey));
  if (key == keys_.end()) return std::nullopt;
  const auto found = key->second.values.find(ascii_lower(name));
  if (found == key->second.values.end()) return std::nullopt;
  return found->second.value;
}

std::optional<std::vector<std::string>> FakeRegistry::value_names(RegistryRoot root,
                                                                  std::string_view subkey) const {
  const auto key = keys_.find(key_path(root, subkey));
  if (key == keys_.end()) return std::nullopt;
  std::vector<std::string> names;
  for (const auto& [folded, named] : key->second.values) names.push_back(named.name);
  return names;
}

FakeRegistry::State FakeRegistry::after_stop(State state, Stop stop) {
  for (auto& [path, key] : state) {
    if (stop == Stop::crash) break;
    if (stop == Stop::power_cut_keep) {
      key.durable = key.values;
    } else {
      key.values = key.durable;
    }
  }
  return state;
}

std::vector<std::uint8_t> utf16_string_bytes(std::string_view text) {
  auto bytes = testing_support::utf16le(to_utf16(text));
  bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

}  // namespace mossglow::fake
