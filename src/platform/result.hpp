#pragma once

#include <cstdint>
#include <expected>
#include <string>

namespace mossglow {

// A Win32 error code as GetLastError or a registry call reports it.
struct Win32Error {
  std::uint32_t code;
  friend bool operator==(Win32Error, Win32Error) = default;
};

// A COM result code, or a Win32 error carried as one.
struct HResult {
  std::uint32_t value;
  friend bool operator==(HResult, HResult) = default;
};

// What the thin Windows layer returns: the value, or the code Windows gave.
template <class T>
using OsResult = std::expected<T, Win32Error>;
template <class T>
using ComResult = std::expected<T, HResult>;

// What the program's own operations return: the value, or a ready-to-show UTF-8 text.
template <class T>
using Result = std::expected<T, std::string>;
using Status = Result<void>;

inline constexpr std::uint32_t error_file_not_found = 2;
inline constexpr std::uint32_t error_path_not_found = 3;
inline constexpr std::uint32_t error_access_denied = 5;
inline constexpr std::uint32_t error_write_protect = 19;
inline constexpr std::uint32_t error_sharing_violation = 32;
inline constexpr std::uint32_t error_lock_violation = 33;
inline constexpr std::uint32_t error_file_exists = 80;
inline constexpr std::uint32_t error_invalid_parameter = 87;
inline constexpr std::uint32_t error_dir_not_empty = 145;
inline constexpr std::uint32_t error_already_exists = 183;
inline constexpr std::uint32_t error_more_data = 234;
inline constexpr std::uint32_t error_no_more_files = 18;
inline constexpr std::uint32_t error_directory = 267;
inline constexpr std::uint32_t error_bad_file_type = 222;
inline constexpr std::uint32_t error_file_too_large = 223;
inline constexpr std::uint32_t error_unable_to_move_replacement = 1176;
// A sync client's placeholder whose bytes cannot be fetched now (its provider is not
// running, or the device is offline).
inline constexpr std::uint32_t error_cloud_file_provider_not_running = 362;

// "No such file" in either of the forms Windows gives it.
constexpr bool is_not_found(Win32Error error) {
  return error.code == error_file_not_found || error.code == error_path_not_found;
}

// The file may be read but not written: a permission (the public desktop, for a program
// that runs without elevation) or a medium that is read-only. Waiting changes neither.
constexpr bool is_write_refused(Win32Error error) {
  return error.code == error_access_denied || error.code == error_write_protect;
}

inline constexpr HResult e_fail{0x80004005u};
inline constexpr HResult e_pointer{0x80004003u};

// HRESULT_FROM_WIN32: the Win32 code's low 16 bits under facility 7 with the failure bit.
constexpr HResult hresult_from_win32(std::uint32_t code) {
  if (code == 0) return HResult{0};
  return HResult{0x80070000u | (code & 0xFFFFu)};
}

}  // namespace mossglow
