#include "support/fake_file_system.hpp"

#include <algorithm>

#include "platform/path.hpp"
#include "platform/text.hpp"

namespace mossglow::fake {
namespace {

constexpr std::string_view current_directory = "c:\\work";

std::unexpected<Win32Error> fail(std::uint32_t code) { return std::unexpected(Win32Error{code}); }

bool is_drive(std::string_view folded) {
  return folded.size() == 2 && folded[1] == ':' && folded[0] >= 'a' && folded[0] <= 'z';
}

std::string parent_of(std::string_view folded) { return std::string(parent_path(folded)); }

// A Windows name ends at its first NUL, so the Win32 layer refuses such paths outright.
constexpr std::uint32_t error_invalid_name = 123;
bool has_nul(std::string_view path) { return path.find('\0') != std::string_view::npos; }

// What a torn write leaves: neither the old nor the new bytes whenever both are there.
// A disk writes in sectors, so the first half of the new bytes over the rest of the
// old ones is the usual picture; where that happens to equal one version, the write
// cut short at half, or the new size with a tail that never reached the disk.
std::string torn(std::string_view now, std::string_view old) {
  const std::size_t half = now.size() / 2;
  const std::string head(now.substr(0, half));
  const std::string candidates[] = {
      head + std::string(old.substr(std::min(half, old.size()))),
      head,
      head + std::string(now.size() - half, '\0'),
      head + std::string(now.size() - half, '\xFF'),
  };
  for (const std::string& candidate : candidates) {
    if (candidate != now && candidate != old) return candidate;
  }
  return candidates[0];
}

// What a power cut leaves of a write in place: the disk writes in blocks, each of which
// holds the old or the new bytes, and where the file grew past its old end the blocks
// not yet written read as zeros. Alternate blocks are taken from each side, so that the
// result is neither version whenever it can be.
constexpr std::size_t block_size = 16;
std::string blocks_mixed(std::string_view now, std::string_view old, bool new_first) {
  std::string mixed(now);
  for (std::size_t i = 0; i < mixed.size(); ++i) {
    const bool new_block = ((i / block_size) % 2 == 0) == new_first;
    if (!new_block) mixed[i] = i < old.size() ? old[i] : '\0';
  }
  return mixed;
}
std::string blocks_torn(std::string_view now, std::string_view old) {
  for (const bool new_first : {false, true}) {
    std::string mixed = blocks_mixed(now, old, new_first);
    if (mixed != now && mixed != old) return mixed;
  }
  return blocks_mixed(now, old, false);
}
// The file's new length reached the disk, none of its new bytes did.
std::string resized_only(std::string_view now, std::string_view old) {
  std::string resized(old.substr(0, std::min(old.size(), now.size())));
  resized.resize(now.size(), '\0');
  return resized;
}

}  // namespace

std::string FakeFileSystem::fold(std::string_view path) {
  std::string unified;
  for (char c : path) {
    const char d = c == '/' ? '\\' : c;
    if (d == '\\' && !unified.empty() && unified.back() == '\\') continue;
    unified += d;
  }
  while (unified.size() > 1 && unified.back() == '\\') unified.pop_back();
  std::string folded = ascii_lower(unified);
  const bool absolute = folded.size() >= 2 && folded[1] == ':';
  if (!absolute) folded = join_path(current_directory, folded);
  // "." components mean nothing; keep ".." literal (the program never forms them).
  std::string cleaned;
  std::size_t start = 0;
  while (start <= folded.size()) {
    const auto end = std::min(folded.find('\\', start), folded.size());
    const auto part = std::string_view(folded).substr(start, end - start);
    if (part != "." || cleaned.empty()) {
      if (!cleaned.empty()) cleaned += '\\';
      cleaned += part;
    }
    start = end + 1;
  }
  return cleaned;
}

FakeFileSystem::Node* FakeFileSystem::find(std::string_view folded) {
  const auto it = nodes_.find(std::string(folded));
  return it == nodes_.end() ? nullptr : &it->second;
}

const FakeFileSystem::Node* FakeFileSystem::find(std::string_view folded) const {
  const auto it = nodes_.find(std::string(folded));
  return it == nodes_.end() ? nullptr : &it->second;
}

const FakeFileSystem::Node* FakeFileSystem::follow(const Node* node) const {
  if (node == nullptr || !node->link_target) return node;
  return find(fold(*node->link_target));
}

std::pair<std::string, std::string> FakeFileSystem::write_target(std::string_view folded,
                                                                 std::string_view path) const {
  const Node* entry = find(folded);
  if (entry != nullptr && entry->link_target && !entry->directory) {
    return {fold(*entry->link_target), *entry->link_target};
  }
  return {std::string(folded), std::string(path)};
}

OsResult<void> FakeFileSystem::check_parent(std::string_view folded) const {
  const std::string parent = parent_of(folded);
  if (parent.empty() || is_drive(parent)) return {};
  const Node* node = find(parent);
  if (node == nullptr || !node->directory) return fail(error_path_not_found);
  return {};
}

std::unexpected<Win32Error> FakeFileSystem::not_found(std::string_view folded) const {
  return fail(check_parent(folded) ? error_file_not_found : error_path_not_found);
}

void FakeFileSystem::changed(Op operation, std::string_view path, std::string_view step) {
  observer_.changed(operation, path, step);
}

bool FakeFileSystem::locked(const std::string& key) const {
  if (locked_.contains(key)) return true;
  const auto it = locked_until_.find(key);
  return it != locked_until_.end() && clock_ < it->second;
}

FakeFileSystem::Node& FakeFileSystem::put(const std::string& key, std::string_view path,
                                          Node node) {
  if (Node* existing = find(key)) {
    node.order = existing->order;
    node.path = existing->path;
    node.id = existing->id;
  } else {
    node.order = next_order_++;
    node.id = next_id_++;
    node.path = std::string(path);
    events_.push_back({EntryEvent::Kind::created, node.path, {}});
  }
  return nodes_[key] = std::move(node);
}

void FakeFileSystem::erase(const std::string& key) {
  const auto it = nodes_.find(key);
  if (it == nodes_.end()) return;
  events_.push_back({EntryEvent::Kind::deleted, it->second.path, {}});
  nodes_.erase(it);
}

OsResult<void> FakeFileSystem::hydrate(const std::string& key) {
  Node* node = find(key);
  if (node == nullptr || !node->in_cloud) return {};
  if (!cloud_running_) return fail(error_cloud_file_provider_not_running);
  node->in_cloud = false;
  node->attributes &= ~file_attribute_recall_on_data_access;
  return {};
}

void FakeFileSystem::write_in_steps(const std::string& key, std::string_view path,
                                    std::uint32_t attributes, const Bytes& bytes, Op operation) {
  Node node;
  node.attributes = attributes;
  node.truncated = true;
  node.written = ++ticks_;
  if (const Node* existing = find(key)) {
    node.durable = existing->durable;
    node.reparse_tag = existing->reparse_tag;
  }
  const std::string shown = put(key, path, std::move(node)).path;
  changed(operation, shown, "created or truncated");
  // Looked up again after each step: the observer may have read the volume meanwhile.
  if (const std::size_t half = bytes.size() / 2; half > 0) {
    find(key)->content = Bytes(bytes.view().substr(0, half));
    changed(operation, shown, "half the bytes written");
  }
  if (!bytes.empty()) {
    find(key)->content = bytes;
    changed(operation, shown, "all bytes written");
  }
}

void FakeFileSystem::make_durable(const std::string& key, Op operation) {
  Node& node = *find(key);
  node.durable = node.content;
  node.truncated = false;
  changed(operation, node.path, "flushed");
}

void FakeFileSystem::load_state(State state) {
  nodes_ = std::move(state);
  // New entries list after every loaded one and get IDs of their own.
  next_order_ = 1;
  for (const auto& [key, node] : nodes_) {
    next_order_ = std::max(next_order_, node.order + 1);
    next_id_ = std::max(next_id_, node.id + 1);
    ticks_ = std::max({ticks_, node.written, node.accessed});
  }
}

OsResult<FileMetadata> FakeFileSystem::stat(std::string_view path) const {
  const std::string key = fold(path);
  if (locked(key)) return fail(error_sharing_violation);
  if (has_nul(path)) return fail(error_invalid_name);
  if (is_drive(key)) return FileMetadata{file_attribute_directory, 0};
  const Node* entry = find(key);
  if (entry == nullptr) return not_found(key);
  const Node* node = follow(entry);
  if (node == nullptr) return fail(error_file_not_found);
  return FileMetadata{node->attributes, node->content.size()};
}

OsResult<FileMetadata> FakeFileSystem::metadata(std::string_view path) {
  return faults_.run(Op::metadata, path, fail, [&] { return stat(path); });
}

OsResult<std::uint32_t> FakeFileSystem::get_attributes(std::string_view path) {
  return faults_.run(Op::get_attributes, path, fail, [&]() -> OsResult<std::uint32_t> {
    const std::string key = fold(path);
    if (has_nul(path)) return fail(error_invalid_name);
    if (is_drive(key)) return file_attribute_directory;
    const Node* node = find(key);
    if (node == nullptr) return not_found(key);
    return node->attributes;
  });
}

OsResult<void> FakeFileSystem::set_attributes(std::string_view path, std::uint32_t attributes) {
  return faults_.run(Op::set_attributes, path, fail, [&]() -> OsResult<void> {
    const std::string key = fold(path);
    if (has_nul(path)) return fail(error_invalid_name);
    Node* node = find(key);
    if (node == nullptr) return not_found(key);
    if (write_denied(key)) return fail(error_access_denied);
    // Windows keeps the bits that say what the entry is; only the settable ones change.
    std::uint32_t bits = (node->attributes & ~(settable_attributes | file_attribute_normal)) |
                         (attributes & settable_attributes);
    if (bits == 0) bits = file_attribute_normal;
    node->attributes = bits;
    changed(Op::set_attributes, node->path);
    return {};
  });
}

OsResult<std::vector<DirectoryEntry>> FakeFileSystem::list_directory(std::string_view folder) {
  using Listing = OsResult<std::vector<DirectoryEntry>>;
  return faults_.run(Op::list_directory, folder, fail, [&]() -> Listing {
    const std::string key = fold(folder);
    if (locked(key)) return fail(error_sharing_violation);
    if (has_nul(folder)) return fail(error_invalid_name);
    if (!is_drive(key)) {
      const Node* node = follow(find(key));
      if (node == nullptr) return fail(error_path_not_found);
      if (!node->directory) return fail(error_directory);
    }
    std::vector<const Node*> children;
    const std::string target_key = is_drive(key) ? key : fold(follow(find(key))->path);
    for (const auto& [child_key, node] : nodes_) {
      if (parent_of(child_key) == target_key) children.push_back(&node);
    }
    std::ranges::sort(children, {}, &Node::order);
    std::vector<DirectoryEntry> entries;
    for (const Node* child : children) {
      const bool reparse = (child->attributes & file_attribute_reparse_point) != 0;
      entries.push_back(DirectoryEntry{std::string(file_name(child->path)), child->attributes,
                                       child->directory ? 0 : child->content.size(),
                                       reparse ? child->reparse_tag : 0});
    }
    return entries;
  });
}

OsResult<std::string> FakeFileSystem::load(std::string_view path) const {
  const std::string key = fold(path);
  if (locked(key)) return fail(error_sharing_violation);
  if (has_nul(path)) return fail(error_invalid_name);
  const Node* entry = find(key);
  if (entry == nullptr) return not_found(key);
  const Node* node = follow(entry);
  if (node == nullptr) return fail(error_file_not_found);
  if (node->directory) return fail(error_access_denied);
  if (node->content.size() > max_read_bytes) return fail(error_file_too_large);
  return node->content.str();
}

OsResult<std::string> FakeFileSystem::read_file(std::string_view path) {
  return faults_.run(Op::read_file, path, fail, [&]() -> OsResult<std::string> {
    if (!locked(fold(path))) {
      if (auto fetched = hydrate(fold(path)); !fetched) return fail(fetched.error().code);
    }
    auto bytes = load(path);
    if (bytes) read_from(write_target(fold(path), path).first);
    return bytes;
  });
}

OsResult<void> FakeFileSystem::write_file(std::string_view path, std::string_view bytes,
                                          bool flush) {
  return faults_.run(Op::write_file, path, fail, [&]() -> OsResult<void> {
    if (has_nul(path)) return fail(error_invalid_name);
    if (auto stored = store(path, bytes, Op::write_file); !stored) return stored;
    if (flush) make_durable(write_target(fold(path), path).first, Op::write_file);
    return {};
  });
}

InPlaceResult FakeFileSystem::write_in_place(std::string_view path, std::string_view expected,
                                             std::string_view bytes) {
  const auto untouched = [](std::uint32_t code) {
    return std::unexpected(InPlaceFailure{Win32Error{code}, false});
  };
  return faults_.run(Op::write_in_place, path, untouched, [&]() -> InPlaceResult {
    const std::string entry_key = fold(path);
    if (has_nul(path)) return untouched(error_invalid_name);
    const auto [key, spelled] = write_target(entry_key, path);
    if (locked(entry_key) || locked(key)) return untouched(error_sharing_violation);
    if (find(entry_key) == nullptr) return untouched(not_found(entry_key).error().code);
    const Node* existing = find(key);
    if (existing == nullptr) return untouched(error_file_not_found);
    if (existing->directory || (existing->attributes & file_attribute_readonly) != 0 ||
        write_denied(key)) {
      return untouched(error_access_denied);
    }
    if (auto fetched = hydrate(key); !fetched) return untouched(fetched.error().code);
    read_from(key);
    if (find(key)->content != expected) return InPlace::differs;
    const std::string old = find(key)->content.str();
    const std::string shown = find(key)->path;
    // Writing marks the file changed since its last backup, as every write does.
    const auto write = [&](std::string content, std::string_view step) {
      Node& node = *find(key);
      node.content = Bytes(content);
      node.attributes = (node.attributes & ~file_attribute_normal) | file_attribute_archive;
      node.written = ++ticks_;
      changed(Op::write_in_place, shown, step);
    };
    const std::size_t half = bytes.size() / 2;
    if (half > 0) {
      write(std::string(bytes.substr(0, half)) + old.substr(std::min(half, old.size())),
            "half the bytes written");
    }
    write(std::string(bytes) + old.substr(std::min(bytes.size(), old.size())), "all bytes written");
    if (old.size() > bytes.size()) write(std::string(bytes), "end set");
    make_durable(key, Op::write_in_place);
    return InPlace::written;
  });
}

OsResult<void> FakeFileSystem::flush_file(std::string_view path) {
  return faults_.run(Op::flush_file, path, fail, [&]() -> OsResult<void> {
    const std::string entry_key = fold(path);
    if (locked(entry_key)) return fail(error_sharing_violation);
    if (has_nul(path)) return fail(error_invalid_name);
    if (find(entry_key) == nullptr) return not_found(entry_key);
    const std::string key = write_target(entry_key, path).first;
    const Node* node = find(key);
    if (node == nullptr) return fail(error_file_not_found);
    if (node->directory || (node->attributes & file_attribute_readonly) != 0 || write_denied(key)) {
      return fail(error_access_denied);
    }
    make_durable(key, Op::flush_file);
    return {};
  });
}

OsResult<void> FakeFileSystem::create_new_file(std::string_view path, std::string_view bytes,
                                               bool flush) {
  return faults_.run(Op::create_new_file, path, fail, [&]() -> OsResult<void> {
    const std::string key = fold(path);
    if (locked(key)) return fail(error_sharing_violation);
    if (has_nul(path)) return fail(error_invalid_name);
    if (auto parent = check_parent(key); !parent) return parent;
    // A symbolic link is a name that exists, whether or not its target does.
    if (find(key) != nullptr) return fail(error_file_exists);
    if (write_denied(key)) return fail(error_access_denied);
    write_in_steps(key, path, file_attribute_archive, Bytes(bytes), Op::create_new_file);
    if (flush) make_durable(key, Op::create_new_file);
    return {};
  });
}

OsResult<void> FakeFileSystem::rename_replace(std::string_view from, std::string_view to) {
  return rename(Op::rename_replace, from, to, true);
}

OsResult<void> FakeFileSystem::rename_new(std::string_view from, std::string_view to) {
  return rename(Op::rename_new, from, to, false);
}

OsResult<void> FakeFileSystem::rename(Op operation, std::string_view from, std::string_view to,
                                      bool replace_existing) {
  return faults_.run(operation, from, fail, [&]() -> OsResult<void> {
    const std::string source_key = fold(from);
    const std::string target_key = fold(to);
    if (has_nul(from) || has_nul(to)) return fail(error_invalid_name);
    if (locked(source_key) || locked(target_key)) {
      return fail(error_sharing_violation);
    }
    const Node* source = find(source_key);
    if (source == nullptr) return not_found(source_key);
    if (auto parent = check_parent(target_key); !parent) return parent;
    if (write_denied(source_key) || write_denied(target_key)) return fail(error_access_denied);
    std::optional<std::uint64_t> order;
    if (const Node* existing = find(target_key); existing != nullptr && source_key != target_key) {
      if (!replace_existing) return fail(error_already_exists);
      if (existing->directory || (existing->attributes & file_attribute_readonly) != 0) {
        return fail(error_access_denied);
      }
      // Replacing takes two steps on disk: the old file goes, then the new name is given.
      order = existing->order;
      const std::string shown = existing->path;
      erase(target_key);
      changed(operation, shown, "replaced file removed");
    }
    Node moved = std::move(nodes_.at(source_key));
    nodes_.erase(source_key);
    if (order) moved.order = *order;
    events_.push_back({EntryEvent::Kind::renamed, moved.path, std::string(to)});
    moved.path = std::string(to);
    const std::string shown = moved.path;
    nodes_[target_key] = std::move(moved);
    changed(operation, shown, order ? "renamed" : "");
    return {};
  });
}

OsResult<void> FakeFileSystem::replace_file(std::string_view replaced,
                                            std::string_view replacement) {
  const std::string replaced_key = fold(replaced);
  const std::string replacement_key = fold(replacement);
  const Failure planned = faults_.enter(Op::replace_file, replaced);
  // ReplaceFileW failing to move the replacement has already removed the replaced
  // file; every other failure comes before any change. A planned failure keeps its
  // code even where the call would have failed anyway.
  if (planned && *planned != error_unable_to_move_replacement) return fail(*planned);
  const auto refuse = [&](std::uint32_t code) { return fail(planned.value_or(code)); };
  if (has_nul(replaced) || has_nul(replacement)) return refuse(error_invalid_name);
  if (locked(replaced_key) || locked(replacement_key)) {
    return refuse(error_sharing_violation);
  }
  const Node* target = find(replaced_key);
  const Node* source = find(replacement_key);
  if (target == nullptr) return refuse(not_found(replaced_key).error().code);
  if (source == nullptr) return refuse(not_found(replacement_key).error().code);
  if (target->directory || source->directory) return refuse(error_access_denied);
  if ((target->attributes & file_attribute_readonly) != 0 || write_denied(replaced_key) ||
      write_denied(replacement_key)) {
    return refuse(error_access_denied);
  }
  // The replaced file's name, attributes and place stay; its content, with what of it
  // is durable, becomes the replacement's.
  Node result = *target;
  result.content = source->content;
  result.durable = source->durable;
  result.truncated = source->truncated;
  erase(replaced_key);
  changed(Op::replace_file, result.path, "replaced file removed");
  if (planned) return fail(*planned);
  events_.push_back({EntryEvent::Kind::renamed, source->path, result.path});
  nodes_.erase(replacement_key);
  const std::string shown = result.path;
  nodes_[replaced_key] = std::move(result);
  changed(Op::replace_file, shown, "replacement moved in");
  faults_.succeeded(Op::replace_file, replaced);
  return {};
}

OsResult<void> FakeFileSystem::delete_file(std::string_view path) {
  return faults_.run(Op::delete_file, path, fail, [&]() -> OsResult<void> {
    const std::string key = fold(path);
    if (locked(key)) return fail(error_sharing_violation);
    if (has_nul(path)) return fail(error_invalid_name);
    const Node* node = find(key);
    if (node == nullptr) return not_found(key);
    if (node->directory || (node->attributes & file_attribute_readonly) != 0 || write_denied(key)) {
      return fail(error_access_denied);
    }
    const std::string shown = node->path;
    erase(key);
    changed(Op::delete_file, shown);
    return {};
  });
}

OsResult<void> FakeFileSystem::create_directories(std::string_view path) {
  return faults_.run(Op::create_directories, path, fail, [&]() -> OsResult<void> {
    const std::string key = fold(path);
    if (has_nul(path)) return fail(error_invalid_name);
    // Walk from the drive down, creating what is missing.
    std::vector<std::string> missing;
    std::string current = key;
    while (!current.empty() && !is_drive(current)) {
      if (const Node* node = find(current)) {
        if (!follow(node) || !follow(node)->directory) return fail(error_already_exists);
        break;
      }
      missing.push_back(current);
      current = parent_of(current);
    }
    if (missing.empty()) return {};
    if (write_denied(missing.back())) return fail(error_access_denied);
    // Every folder made takes the caller's spelling of its own path.
    std::map<std::string, std::string> spelled;
    for (std::string_view prefix = path; !prefix.empty(); prefix = parent_path(prefix)) {
      while (prefix.size() > 1 && (prefix.back() == '\\' || prefix.back() == '/')) {
        prefix.remove_suffix(1);
      }
      spelled.emplace(fold(prefix), std::string(prefix));
      if (parent_path(prefix).size() >= prefix.size()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
      Node node;
      node.directory = true;
      node.attributes = file_attribute_directory;
      const auto name = spelled.find(*it);
      put(*it, name == spelled.end() ? *it : name->second, std::move(node));
    }
    changed(Op::create_directories, path);
    return {};
  });
}

OsResult<void> FakeFileSystem::store(std::string_view path, std::string_view bytes, Op operation) {
  const std::string entry_key = fold(path);
  const auto [key, spelled] = write_target(entry_key, path);
  if (locked(entry_key) || locked(key)) return fail(error_sharing_violation);
  if (auto parent = check_parent(key); !parent) return parent;
  const Node* existing = find(key);
  if ((existing != nullptr &&
       (existing->directory || (existing->attributes & file_attribute_readonly) != 0)) ||
      write_denied(key)) {
    return fail(error_access_denied);
  }
  write_in_steps(key, spelled, existing ? existing->attributes : file_attribute_archive,
                 Bytes(bytes), operation);
  return {};
}

void FakeFileSystem::add_parent(std::string_view folded, std::string_view path) {
  const std::string parent = parent_of(folded);
  if (!parent.empty() && !is_drive(parent) && find(parent) == nullptr) {
    add_directory(parent_path(path));
  }
}

void FakeFileSystem::add_directory(std::string_view path, std::uint32_t attributes) {
  const std::string key = fold(path);
  add_parent(key, path);
  Node node;
  node.directory = true;
  node.attributes = attributes | file_attribute_directory;
  put(key, path, std::move(node));
}

void FakeFileSystem::add_file(std::string_view path, std::string_view content,
                              std::uint32_t attributes) {
  const std::string key = fold(path);
  add_parent(key, path);
  Node node;
  node.attributes = attributes;
  node.content = Bytes(content);
  node.durable = node.content;
  // Made long ago and looked at since: reading it does not move its access time.
  node.accessed = 1;
  put(key, path, std::move(node));
}

void FakeFileSystem::add_symlink(std::string_view path, std::string_view target,
                                 bool to_directory) {
  Node node;
  node.directory = to_directory;
  node.attributes = file_attribute_reparse_point |
                    (to_directory ? file_attribute_directory : file_attribute_archive);
  node.link_target = std::string(target);
  node.reparse_tag = reparse_tag_symlink;
  put(fold(path), path, std::move(node));
}

void FakeFileSystem::add_placeholder(std::string_view path, std::string_view content, bool in_cloud,
                                     std::uint32_t attributes) {
  add_file(path, content,
           attributes | file_attribute_reparse_point |
               (in_cloud ? file_attribute_recall_on_data_access : 0));
  Node& node = *find(fold(path));
  node.reparse_tag = reparse_tag_cloud;
  node.in_cloud = in_cloud;
}

void FakeFileSystem::read_from(const std::string& key) {
  // As a volume that keeps access times relatively: the first read after a change moves
  // the time, later ones leave it.
  Node* node = find(key);
  if (node != nullptr && node->accessed <= node->written) node->accessed = ++ticks_;
}

std::optional<FakeFileSystem::TargetInfo> FakeFileSystem::link_target(std::string_view path) {
  const std::string key = fold(path);
  const Node* node = follow(find(key));
  if (node == nullptr) return std::nullopt;
  const TargetInfo info{node->attributes, node->directory ? 0 : node->content.size(), node->written,
                        node->accessed};
  read_from(fold(node->path));
  return info;
}

bool FakeFileSystem::write_denied(const std::string& key) const {
  return denied_.contains(key) || denied_.contains(parent_of(key));
}

void FakeFileSystem::deny_writes(std::string_view path) { denied_.insert(fold(path)); }

void FakeFileSystem::lock(std::string_view path) { locked_.insert(fold(path)); }

void FakeFileSystem::lock_for(std::string_view path, std::chrono::milliseconds duration) {
  locked_until_[fold(path)] = clock_ + duration;
}

bool FakeFileSystem::exists(std::string_view path) const { return find(fold(path)) != nullptr; }

std::optional<std::string> FakeFileSystem::content(std::string_view path) const {
  const Node* node = find(fold(path));
  if (node == nullptr || node->directory) return std::nullopt;
  return node->content.str();
}

std::optional<std::string> FakeFileSystem::durable_content(std::string_view path) const {
  const Node* node = find(fold(path));
  if (node == nullptr || node->directory || !node->durable) return std::nullopt;
  return node->durable->str();
}

std::optional<std::uint32_t> FakeFileSystem::attributes(std::string_view path) const {
  const Node* node = find(fold(path));
  if (node == nullptr) return std::nullopt;
  return node->attributes;
}

std::optional<std::uint64_t> FakeFileSystem::file_id(std::string_view path) const {
  const Node* node = find(fold(path));
  if (node == nullptr) return std::nullopt;
  return node->id;
}

std::vector<std::string> FakeFileSystem::tree(std::string_view folder) const {
  const std::string prefix = folder.empty() ? std::string{} : fold(folder) + "\\";
  std::vector<std::string> paths;
  for (const auto& [key, node] : nodes_) {
    if (key.starts_with(prefix)) paths.push_back(node.path);
  }
  std::ranges::sort(paths);
  return paths;
}

FakeFileSystem::State FakeFileSystem::after_stop(State state, Stop stop) {
  // A crashed process leaves its writes with the operating system, which finishes them.
  if (stop == Stop::crash) return state;
  // The mixed kind deals these out by position, in path order.
  constexpr Stop dealt[] = {Stop::power_cut_keep, Stop::power_cut_lose, Stop::power_cut_tear,
                            Stop::power_cut_empty};
  std::size_t position = 0;
  for (auto& [key, node] : state) {
    if (node.directory || node.link_target) continue;
    const Bytes old = node.durable.value_or(Bytes{});
    if (node.content != old) {
      const Stop outcome = stop == Stop::power_cut_mixed ? dealt[position++ % 4] : stop;
      if (outcome == Stop::power_cut_lose) node.content = old;
      if (node.truncated) {
        // Truncated since its last flush: anything from nothing to the new bytes.
        if (outcome == Stop::power_cut_tear) node.content = Bytes(torn(node.content, old));
        if (outcome == Stop::power_cut_empty) node.content = Bytes{};
      } else {
        // Only written in place: block by block, never emptied.
        if (outcome == Stop::power_cut_tear) node.content = Bytes(blocks_torn(node.content, old));
        if (outcome == Stop::power_cut_empty) node.content = Bytes(resized_only(node.content, old));
      }
    }
    node.durable = node.content;
    node.truncated = false;
  }
  return state;
}

}  // namespace mossglow::fake
