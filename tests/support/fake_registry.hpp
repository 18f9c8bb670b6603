#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.hpp"
#include "support/fake_timeline.hpp"
#include "support/fault_plan.hpp"

namespace mossglow::fake {

// One stored value: any type code (Windows stores whatever DWORD it is given) and the
// data bytes exactly as written.
struct StoredValue {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> bytes;
  friend bool operator==(const StoredValue&, const StoredValue&) = default;
};

// A registry in memory with Win32 rules: a tree of keys per root (HKEY_CLASSES_ROOT
// is kept as a tree of its own), key and value names compared ignoring ASCII case,
// typed values with raw bytes, handles that carry the access they were opened with
// (writes through a read-only handle are refused with ERROR_ACCESS_DENIED), and
// ERROR_MORE_DATA with the size needed for a buffer that is too small.
//
// Windows writes the registry lazily: every value has a live state and the state last
// flushed (RegFlushKey writes the whole hive, so a flush makes every value under its
// root durable). A power cut takes unflushed changes back; keys themselves survive.
class FakeRegistry final : public Registry {
 public:
  struct Named {
    std::string name;  // as written
    StoredValue value;
  };
  struct Key {
    std::map<std::string, Named> values;   // keyed by folded name
    std::map<std::string, Named> durable;  // the values as last flushed
  };
  using State = std::map<std::string, Key>;  // keyed by folded full path ("hkcu\software")

  // Calls go through the machine's fault plan; changes are told to its timeline.
  FakeRegistry(FaultPlan& faults, Observer& observer) : faults_(faults), observer_(observer) {}

  // --- Registry ---
  OsResult<RegistryKey> open_key(RegistryRoot root, std::string_view subkey,
                                 std::uint32_t access) override;
  OsResult<RegistryKey> create_key(RegistryRoot root, std::string_view subkey,
                                   std::uint32_t access) override;
  ValueQuery query_value(const RegistryKey& key, std::string_view name,
                         std::span<std::uint8_t> buffer) override;
  OsResult<void> set_value(const RegistryKey& key, std::string_view name, std::uint32_t type,
                           std::span<const std::uint8_t> bytes) override;
  OsResult<void> delete_value(const RegistryKey& key, std::string_view name) override;
  OsResult<void> flush_key(const RegistryKey& key) override;

  // --- test set-up and inspection (no faults, no access checks) ---
  void add_key(RegistryRoot root, std::string_view subkey);
  // Removes the key with its values and subkeys; handles open on it then fail with
  // ERROR_KEY_DELETED, as on Windows.
  void remove_key(RegistryRoot root, std::string_view subkey);
  bool key_exists(RegistryRoot root, std::string_view subkey) const;
  // Stores a value (creating the key), any type code, above REG_QWORD included.
  void put_value(RegistryRoot root, std::string_view subkey, std::string_view name,
                 StoredValue value);
  std::optional<StoredValue> value(RegistryRoot root, std::string_view subkey,
                                   std::string_view name) const;
  // Names of the key's values as written, in name order; nothing when the key is missing.
  std::optional<std::vector<std::string>> value_names(RegistryRoot root,
                                                      std::string_view subkey) const;
  // Keys opened and not yet closed.
  std::size_t open_keys() const { return handles_.size(); }

  const State& state() const { return keys_; }
  void load_state(State state) { keys_ = std::move(state); }
  // The registry as a stop of this kind leaves it (see Stop); afterwards every value
  // is durable.
  static State after_stop(State state, Stop stop);

 protected:
  void close_key(std::uintptr_t handle) override;

 private:
  struct Handle {
    std::string key;  // folded full path
    std::uint32_t access = 0;
  };

  static std::string key_path(RegistryRoot root, std::string_view subkey);
  void create_path(const std::string& path);
  // The key behind a handle, or the error Windows gives for it.
  OsResult<Key*> key_of(const RegistryKey& key, std::uint32_t needed_access);
  std::string shown(const RegistryKey& key, std::string_view name) const;
  void changed(Op operation, std::string_view shown);

  FaultPlan& faults_;
  Observer& observer_;
  State keys_;
  std::map<std::uintptr_t, Handle> handles_;
  std::uintptr_t next_handle_ = 0x100;
};

// The data of a REG_SZ value: the text as UTF-16LE followed by one NUL unit.
std::vector<std::uint8_t> utf16_string_bytes(std::string_view text);

}  // namespace mossglow::fake
