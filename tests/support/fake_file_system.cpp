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

}  // namespace

FakeFileSystem::FakeFileSystem() = default;

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
  if (node == nullptr || (node->attributes & file_attribute_reparse_point) == 0) return node;
  const auto target = symlink_targets_.find(fold(node->path));
  if (target == symlink_targets_.end()) return nullptr;
  return find(fold(target->second));
}

OsResult<void> FakeFileSystem::check_parent(std::string_view folded) const {
  const std::string parent = parent_of(folded);
  if (parent.empty() || is_drive(parent)) return {};
  const Node* node = find(parent);
  if (node == nullptr || !node->directory) return fail(error_path_not_found);
  return {};
}

std::optional<Win32Error> FakeFileSystem::fault(std::string_view operation,
                                                std::string_view folded) {
  if (const auto code = faults_.next(operation, folded)) return Win32Error{*code};
  if (locked_.contains(std::string(folded))) return Win32Error{error_sharing_violation};
  return std::nullopt;
}

void FakeFileSystem::changed(std::string_view operation) {
  if (recording_) history_.push_back({std::string(operation), nodes_});
}

FakeFileSystem::Node& FakeFileSystem::put(std::string_view path, Node node) {
  const std::string key = fold(path);
  if (Node* existing = find(key)) {
    node.order = existing->order;
    node.path = existing->path;
  } else {
    node.order = next_order_++;
    node.path = std::string(path);
  }
  return nodes_[key] = std::move(node);
}

OsResult<FileMetadata> FakeFileSystem::metadata(std::string_view path) {
  const std::string key = fold(path);
  if (auto e = fault("metadata", key)) return std::unexpected(*e);
  if (has_nul(path)) return fail(error_invalid_name);
  if (is_drive(key)) return FileMetadata{file_attribute_directory, 0};
  const Node* entry = find(key);
  if (entry == nullptr) {
    if (!check_parent(key)) return fail(error_path_not_found);
    return fail(error_file_not_found);
  }
  const Node* node = follow(entry);
  if (node == nullptr) return fail(error_file_not_found);
  return FileMetadata{node->attributes, node->content.size()};
}

OsResult<FileMetadata> FakeFileSystem::symlink_metadata(std::string_view path) {
  const std::string key = fold(path);
  if (auto e = fault("symlink_metadata", key)) return std::unexpected(*e);
  if (has_nul(path)) return fail(error_invalid_name);
  if (is_drive(key)) return FileMetadata{file_attribute_directory, 0};
  const Node* node = find(key);
  if (node == nullptr) return fail(check_parent(key) ? error_file_not_found : error_path_not_found);
  return FileMetadata{node->attributes, node->content.size()};
}

OsResult<std::uint32_t> FakeFileSystem::get_attributes(std::string_view path) {
  const std::string key = fold(path);
  if (auto e = faults_.next("get_attributes", key)) return fail(*e);
  if (has_nul(path)) return fail(error_invalid_name);
  if (is_drive(key)) return file_attribute_directory;
  const Node* node = find(key);
  if (node == nullptr) return fail(check_parent(key) ? error_file_not_found : error_path_not_found);
  return node->attributes;
}

OsResult<void> FakeFileSystem::set_attributes(std::string_view path, std::uint32_t attributes) {
  const std::string key = fold(path);
  if (auto e = faults_.next("set_attributes", key)) return fail(*e);
  if (has_nul(path)) return fail(error_invalid_name);
  Node* node = find(key);
  if (node == nullptr) return fail(check_parent(key) ? error_file_not_found : error_path_not_found);
  // Windows keeps the kind bits; only the settable ones change.
  constexpr std::uint32_t settable = 0x1 | 0x2 | 0x4 | 0x20 | 0x100 | 0x2000;
  std::uint32_t bits =
      (node->attributes & (file_attribute_directory | file_attribute_reparse_point)) |
      (attributes & settable);
  if (bits == 0) bits = file_attribute_normal;
  node->attributes = bits;
  changed("set_attributes");
  return {};
}

OsResult<std::vector<std::string>> FakeFileSystem::list_directory(std::string_view folder) {
  const std::string key = fold(folder);
  if (auto e = fault("list_directory", key)) return std::unexpected(*e);
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
  std::vector<std::string> names;
  for (const Node* child : children) names.emplace_back(file_name(child->path));
  return names;
}

OsResult<std::string> FakeFileSystem::read_file(std::string_view path) {
  const std::string key = fold(path);
  if (auto e = fault("read_file", key)) return std::unexpected(*e);
  if (has_nul(path)) return fail(error_invalid_name);
  const Node* entry = find(key);
  if (entry == nullptr)
    return fail(check_parent(key) ? error_file_not_found : error_path_not_found);
  const Node* node = follow(entry);
  if (node == nullptr) return fail(error_file_not_found);
  if (node->directory) return fail(error_access_denied);
  if (node->content.size() > max_read_bytes) return fail(error_file_too_large);
  return node->content;
}

OsResult<void> FakeFileSystem::write_file(std::string_view path, std::string_view bytes,
                                          bool flush) {
  const std::string key = fold(path);
  if (auto e = fault("write_file", key)) return std::unexpected(*e);
  if (has_nul(path)) return fail(error_invalid_name);
  if (auto parent = check_parent(key); !parent) return parent;
  Node* existing = find(key);
  if (existing != nullptr &&
      (existing->directory || (existing->attributes & file_attribute_readonly) != 0)) {
    return fail(error_access_denied);
  }
  Node node;
  node.attributes = existing ? existing->attributes : file_attribute_archive;
  node.content = std::string(bytes);
  node.durable =
      flush ? std::optional(node.content) : (existing ? existing->durable : std::nullopt);
  put(path, std::move(node));
  changed("write_file");
  return {};
}

OsResult<void> FakeFileSystem::flush_file(std::string_view path) {
  const std::string key = fold(path);
  if (auto e = fault("flush_file", key)) return std::unexpected(*e);
  if (has_nul(path)) return fail(error_invalid_name);
  Node* node = find(key);
  if (node == nullptr) return fail(check_parent(key) ? error_file_not_found : error_path_not_found);
  if (node->directory || (node->attributes & file_attribute_readonly) != 0) {
    return fail(error_access_denied);
  }
  node->durable = node->content;
  changed("flush_file");
  return {};
}

OsResult<void> FakeFileSystem::create_new_file(std::string_view path, std::string_view bytes,
                                               bool flush) {
  const std::string key = fold(path);
  if (auto e = fault("create_new_file", key)) return std::unexpected(*e);
  if (has_nul(path)) return fail(error_invalid_name);
  if (auto parent = check_parent(key); !parent) return parent;
  if (find(key) != nullptr) return fail(error_file_exists);
  Node node;
  node.attributes = file_attribute_archive;
  node.content = std::string(bytes);
  if (flush) node.durable = node.content;
  put(path, std::move(node));
  changed("create_new_file");
  return {};
}

OsResult<void> FakeFileSystem::copy_file(std::string_view from, std::string_view to) {
  const std::string source_key = fold(from);
  const std::string target_key = fold(to);
  if (auto e = faults_.next("copy_file", source_key)) return fail(*e);
  if (has_nul(from) || has_nul(to)) return fail(error_invalid_name);
  if (locked_.contains(source_key) || locked_.contains(target_key)) {
    return fail(error_sharing_violation);
  }
  const Node* entry = find(source_key);
  if (entry == nullptr) {
    return fail(check_parent(source_key) ? error_file_not_found : error_path_not_found);
  }
  const Node* source = follow(entry);
  if (source == nullptr) return fail(error_file_not_found);
  if (source->directory) return fail(error_access_denied);
  if (auto parent = check_parent(target_key); !parent) return parent;
  if (const Node* existing = find(target_key)) {
    // The destination is opened as CREATE_ALWAYS with the source's attributes: a
    // read-only file refuses, and so does a hidden or system one unless the source
    // carries the same bits (a hidden backup goes back over a hidden shortcut).
    constexpr std::uint32_t guarded = file_attribute_hidden | file_attribute_system;
    const std::uint32_t missing = existing->attributes & guarded & ~source->attributes;
    if (existing->directory || (existing->attributes & file_attribute_readonly) != 0 ||
        missing != 0) {
      return fail(error_access_denied);
    }
  }
  Node copy;
  copy.attributes = (source->attributes & ~file_attribute_reparse_point) | file_attribute_archive;
  copy.content = source->content;
  put(to, std::move(copy));
  changed("copy_file");
  return {};
}

OsResult<void> FakeFileSystem::rename_replace(std::string_view from, std::string_view to) {
  return rename("rename_replace", from, to, true);
}

OsResult<void> FakeFileSystem::rename_new(std::string_view from, std::string_view to) {
  return rename("rename_new", from, to, false);
}

OsResult<void> FakeFileSystem::rename(std::string_view operation, std::string_view from,
                                      std::string_view to, bool replace_existing) {
  const std::string source_key = fold(from);
  const std::string target_key = fold(to);
  if (auto e = faults_.next(operation, source_key)) return fail(*e);
  if (has_nul(from) || has_nul(to)) return fail(error_invalid_name);
  if (locked_.contains(source_key) || locked_.contains(target_key)) {
    return fail(error_sharing_violation);
  }
  Node* source = find(source_key);
  if (source == nullptr) {
    return fail(check_parent(source_key) ? error_file_not_found : error_path_not_found);
  }
  if (auto parent = check_parent(target_key); !parent) return parent;
  if (const Node* existing = find(target_key); existing != nullptr && source_key != target_key) {
    if (!replace_existing) return fail(error_already_exists);
    if (existing->directory || (existing->attributes & file_attribute_readonly) != 0) {
      return fail(error_access_denied);
    }
  }
  Node moved = *source;
  nodes_.erase(source_key);
  if (Node* existing = find(target_key)) {
    moved.order = existing->order;
  }
  moved.path = std::string(to);
  nodes_[target_key] = std::move(moved);
  if (auto link = symlink_targets_.extract(source_key)) {
    link.key() = target_key;
    symlink_targets_.insert(std::move(link));
  }
  changed(operation);
  return {};
}

OsResult<void> FakeFileSystem::replace_file(std::string_view replaced,
                                            std::string_view replacement) {
  const std::string replaced_key = fold(replaced);
  const std::string replacement_key = fold(replacement);
  if (auto e = faults_.next("replace_file", replaced_key)) return fail(*e);
  if (has_nul(replaced) || has_nul(replacement)) return fail(error_invalid_name);
  if (locked_.contains(replaced_key) || locked_.contains(replacement_key)) {
    return fail(error_sharing_violation);
  }
  Node* target = find(replaced_key);
  Node* source = find(replacement_key);
  if (target == nullptr) {
    return fail(check_parent(replaced_key) ? error_file_not_found : error_path_not_found);
  }
  if (source == nullptr) {
    return fail(check_parent(replacement_key) ? error_file_not_found : error_path_not_found);
  }
  if (target->directory || source->directory) return fail(error_access_denied);
  if ((target->attributes & file_attribute_readonly) != 0) return fail(error_access_denied);
  // The replaced file's name and attributes stay; its content becomes the replacement's.
  Node result = *target;
  result.content = source->content;
  result.durable = source->durable;
  nodes_.erase(replacement_key);
  nodes_[replaced_key] = std::move(result);
  changed("replace_file");
  return {};
}

OsResult<void> FakeFileSystem::delete_file(std::string_view path) {
  const std::string key = fold(path);
  if (auto e = fault("delete_file", key)) return std::unexpected(*e);
  if (has_nul(path)) return fail(error_invalid_name);
  const Node* node = find(key);
  if (node == nullptr) return fail(check_parent(key) ? error_file_not_found : error_path_not_found);
  if (node->directory || (node->attributes & file_attribute_readonly) != 0) {
    return fail(error_access_denied);
  }
  nodes_.erase(key);
  symlink_targets_.erase(key);
  changed("delete_file");
  return {};
}

OsResult<void> FakeFileSystem::create_directories(std::string_view path) {
  const std::string key = fold(path);
  if (auto e = faults_.next("create_directories", key)) return fail(*e);
  if (has_nul(path)) return fail(error_invalid_name);
  // Walk from the drive down, creating what is missing.
  std::vector<std::string> missing;
  std::string current = key;
  const std::string_view original = path;
  while (!current.empty() && !is_drive(current)) {
    if (const Node* node = find(current)) {
      if (!follow(node) || !follow(node)->directory) return fail(error_already_exists);
      break;
    }
    missing.push_back(current);
    current = parent_of(current);
  }
  if (missing.empty()) return {};
  // Every folder made takes the caller's spelling of its own path.
  std::map<std::string, std::string> spelled;
  for (std::string_view prefix = original; !prefix.empty(); prefix = parent_path(prefix)) {
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
    put(name == spelled.end() ? *it : name->second, std::move(node));
  }
  changed("create_directories");
  return {};
}

OsResult<void> FakeFileSystem::store(std::string_view path, std::string_view bytes,
                                     std::string_view operation) {
  const std::string key = fold(path);
  if (locked_.contains(key)) return fail(error_sharing_violation);
  if (auto parent = check_parent(key); !parent) return parent;
  Node* existing = find(key);
  if (existing != nullptr &&
      (existing->directory || (existing->attributes & file_attribute_readonly) != 0)) {
    return fail(error_access_denied);
  }
  Node node;
  node.attributes = existing ? existing->attributes : file_attribute_archive;
  node.content = std::string(bytes);
  node.durable = existing ? existing->durable : std::nullopt;
  put(path, std::move(node));
  changed(operation);
  return {};
}

void FakeFileSystem::add_directory(std::string_view path, std::uint32_t attributes) {
  const std::string key = fold(path);
  const std::string parent = parent_of(key);
  if (!parent.empty() && !is_drive(parent) && find(parent) == nullptr) {
    add_directory(parent_path(path));
  }
  Node node;
  node.directory = true;
  node.attributes = attributes | file_attribute_directory;
  put(path, std::move(node));
}

void FakeFileSystem::add_file(std::string_view path, std::string_view content,
                              std::uint32_t attributes) {
  const std::string key = fold(path);
  const std::string parent = parent_of(key);
  if (!parent.empty() && !is_drive(parent) && find(parent) == nullptr) {
    add_directory(parent_path(path));
  }
  Node node;
  node.attributes = attributes;
  node.content = std::string(content);
  node.durable = node.content;
  put(path, std::move(node));
}

void FakeFileSystem::add_symlink(std::string_view path, std::string_view target,
                                 bool to_directory) {
  Node node;
  node.directory = to_directory;
  node.attributes = file_attribute_reparse_point |
                    (to_directory ? file_attribute_directory : file_attribute_archive);
  put(path, std::move(node));
  symlink_targets_[fold(path)] = std::string(target);
}

void FakeFileSystem::lock(std::string_view path) { locked_.insert(fold(path)); }
void FakeFileSystem::unlock(std::string_view path) { locked_.erase(fold(path)); }

bool FakeFileSystem::exists(std::string_view path) const { return find(fold(path)) != nullptr; }

std::optional<std::string> FakeFileSystem::content(std::string_view path) const {
  const Node* node = find(fold(path));
  if (node == nullptr || node->directory) return std::nullopt;
  return node->content;
}

std::optional<std::uint32_t> FakeFileSystem::attributes(std::string_view path) const {
  const Node* node = find(fold(path));
  if (node == nullptr) return std::nullopt;
  return node->attributes;
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

FakeFileSystem::State FakeFileSystem::after_power_cut(State state) {
  for (auto& [key, node] : state) {
    if (!node.directory) node.content = node.durable.value_or(std::string{});
  }
  return state;
}

}  // namespace mossglow::fake
