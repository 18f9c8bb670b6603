#include "platform/patient_file_system.hpp"

#include <algorithm>

namespace mossglow {

namespace {

bool worth_waiting(Win32Error error) { return is_transient_lock(error); }
// A write that began has changed the file: trying it again is the caller's decision.
bool worth_waiting(const InPlaceFailure& failure) {
  return !failure.touched && is_transient_lock(failure.error);
}

}  // namespace

template <class Call>
auto PatientFileSystem::patiently(Call call) -> decltype(call()) {
  auto result = call();
  for (const auto pause : lock_backoff) {
    if (result || !worth_waiting(result.error()) || left_.count() <= 0) break;
    const auto waited = std::min(pause, left_);
    waiter_.wait(waited);
    left_ -= waited;
    result = call();
  }
  return result;
}

OsResult<FileMetadata> PatientFileSystem::metadata(std::string_view path) {
  return inner_.metadata(path);
}

OsResult<std::uint32_t> PatientFileSystem::get_attributes(std::string_view path) {
  return inner_.get_attributes(path);
}

OsResult<void> PatientFileSystem::set_attributes(std::string_view path, std::uint32_t attributes) {
  return patiently([&] { return inner_.set_attributes(path, attributes); });
}

OsResult<std::vector<DirectoryEntry>> PatientFileSystem::list_directory(std::string_view folder) {
  return inner_.list_directory(folder);
}

OsResult<std::string> PatientFileSystem::read_file(std::string_view path) {
  return patiently([&] { return inner_.read_file(path); });
}

OsResult<void> PatientFileSystem::write_file(std::string_view path, std::string_view bytes,
                                             bool flush) {
  return patiently([&] { return inner_.write_file(path, bytes, flush); });
}

InPlaceResult PatientFileSystem::write_in_place(std::string_view path, std::string_view expected,
                                                std::string_view bytes) {
  return patiently([&] { return inner_.write_in_place(path, expected, bytes); });
}

OsResult<void> PatientFileSystem::flush_file(std::string_view path) {
  return patiently([&] { return inner_.flush_file(path); });
}

OsResult<void> PatientFileSystem::create_new_file(std::string_view path, std::string_view bytes,
                                                  bool flush) {
  return patiently([&] { return inner_.create_new_file(path, bytes, flush); });
}

OsResult<void> PatientFileSystem::rename_replace(std::string_view from, std::string_view to) {
  return patiently([&] { return inner_.rename_replace(from, to); });
}

OsResult<void> PatientFileSystem::rename_new(std::string_view from, std::string_view to) {
  return patiently([&] { return inner_.rename_new(from, to); });
}

OsResult<void> PatientFileSystem::replace_file(std::string_view replaced,
                                               std::string_view replacement) {
  return patiently([&] { return inner_.replace_file(replaced, replacement); });
}

OsResult<void> PatientFileSystem::delete_file(std::string_view path) {
  return patiently([&] { return inner_.delete_file(path); });
}

OsResult<void> PatientFileSystem::create_directories(std::string_view path) {
  return inner_.create_directories(path);
}

}  // namespace mossglow
