// The yardstick for mossglow.exe's speed: only the Windows work that any correct apply
// and restore of the same desktop must do, with none of the program's own bookkeeping
// (no journal, no reports, no checks beyond the hashes). Like the program, and like any
// program can, it makes and changes its links in memory (IPersistStream on a stream over
// memory) and writes each file once: a shortcut in place, a new link under its own name.
// Under Wine much of this time is Wine's own, so the program is judged by its ratio to
// this, measured in the same prefix.
//
//   bench_reference.exe flush|noflush
//
// Dresses both desktops and undoes it again, then prints "apply_ms=A restore_ms=R".
// With "flush", every file a restore relies on is flushed: the copies of the shortcuts,
// the changed shortcuts and the new links during the apply, the shortcuts put back
// during the restore. Wants a desktop of .lnk shell links and plain files only; anything
// else fails.
#include <windows.h>
// The other Windows headers need the Windows types first.
#include <bcrypt.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

using Digest = std::array<unsigned char, 32>;

[[noreturn]] void fail(const wchar_t* what, const std::wstring& path, unsigned long code) {
  std::fwprintf(stderr, L"bench_reference: %ls %ls failed (0x%08lx)\n", what, path.c_str(), code);
  std::exit(1);
}

void check(bool ok, const wchar_t* what, const std::wstring& path) {
  if (!ok) fail(what, path, GetLastError());
}

void check_hr(HRESULT hr, const wchar_t* what, const std::wstring& path) {
  if (FAILED(hr)) fail(what, path, static_cast<unsigned long>(hr));
}

double milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER now() {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return counter;
}

std::wstring known_folder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  check_hr(SHGetKnownFolderPath(id, 0, nullptr, &path), L"SHGetKnownFolderPath", L"");
  std::wstring result(path);
  CoTaskMemFree(path);
  return result;
}

bool ends_with_lnk(const std::wstring& name) {
  return name.size() >= 4 && _wcsicmp(name.c_str() + name.size() - 4, L".lnk") == 0;
}

std::string read_all(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  check(file != INVALID_HANDLE_VALUE, L"open for reading", path);
  LARGE_INTEGER size;
  check(GetFileSizeEx(file, &size) != 0, L"GetFileSizeEx", path);
  std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  check(ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) != 0 &&
            read == bytes.size(),
        L"ReadFile", path);
  CloseHandle(file);
  return bytes;
}

// Writes the bytes into a file: a new one (CREATE_NEW) or the existing one in place.
void write_all(const std::wstring& path, const std::string& bytes, DWORD disposition,
               bool flushing) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  check(file != INVALID_HANDLE_VALUE, L"open for writing", path);
  DWORD written = 0;
  check(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != 0 &&
            written == bytes.size(),
        L"WriteFile", path);
  check(SetEndOfFile(file) != 0, L"SetEndOfFile", path);
  if (flushing) check(FlushFileBuffers(file) != 0, L"FlushFileBuffers", path);
  CloseHandle(file);
}

// SHA-256 of bytes in memory, as the program proves its files.
class Hasher {
 public:
  Hasher() {
    const NTSTATUS status =
        BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    if (!BCRYPT_SUCCESS(status)) fail(L"BCryptOpenAlgorithmProvider", L"", status);
  }
  Hasher(const Hasher&) = delete;
  Hasher& operator=(const Hasher&) = delete;
  ~Hasher() { BCryptCloseAlgorithmProvider(algorithm_, 0); }

  Digest bytes(std::string bytes) {
    BCRYPT_HASH_HANDLE hash = nullptr;
    Digest digest{};
    NTSTATUS status = BCryptCreateHash(algorithm_, &hash, nullptr, 0, nullptr, 0, 0);
    if (BCRYPT_SUCCESS(status)) {
      status = BCryptHashData(hash, reinterpret_cast<PUCHAR>(bytes.data()),
                              static_cast<ULONG>(bytes.size()), 0);
    }
    if (BCRYPT_SUCCESS(status)) status = BCryptFinishHash(hash, digest.data(), 32, 0);
    if (hash != nullptr) BCryptDestroyHash(hash);
    if (!BCRYPT_SUCCESS(status)) fail(L"SHA-256", L"", status);
    return digest;
  }
  Digest file(const std::wstring& path) { return bytes(read_all(path)); }

 private:
  BCRYPT_ALG_HANDLE algorithm_ = nullptr;
};

// A fresh shell link object with its stream interface.
struct Link {
  IShellLinkW* link = nullptr;
  IPersistStream* persist = nullptr;

  Link() {
    check_hr(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)),
             L"CoCreateInstance(ShellLink)", L"");
    check_hr(link->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist)),
             L"QueryInterface(IPersistStream)", L"");
  }
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;
  ~Link() {
    persist->Release();
    link->Release();
  }

  void load(const std::string& bytes, const std::wstring& path) {
    IStream* stream = nullptr;
    check_hr(CreateStreamOnHGlobal(nullptr, TRUE, &stream), L"CreateStreamOnHGlobal", path);
    ULONG written = 0;
    check_hr(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written),
             L"IStream::Write", path);
    check_hr(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr), L"IStream::Seek", path);
    check_hr(persist->Load(stream), L"IPersistStream::Load", path);
    stream->Release();
  }
  std::string save(const std::wstring& path) {
    IStream* stream = nullptr;
    check_hr(CreateStreamOnHGlobal(nullptr, TRUE, &stream), L"CreateStreamOnHGlobal", path);
    check_hr(persist->Save(stream, TRUE), L"IPersistStream::Save", path);
    ULARGE_INTEGER size{};
    check_hr(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &size), L"IStream::Seek", path);
    HGLOBAL memory = nullptr;
    check_hr(GetHGlobalFromStream(stream, &memory), L"GetHGlobalFromStream", path);
    const auto* data = static_cast<const char*>(GlobalLock(memory));
    std::string bytes(data, static_cast<std::size_t>(size.QuadPart));
    GlobalUnlock(memory);
    stream->Release();
    return bytes;
  }
};

struct Shortcut {
  std::wstring path;
  std::wstring backup;
  Digest original{};
  Digest applied{};
};

struct Plain {
  std::wstring path;
  std::wstring link;
  Digest link_hash{};
};

struct Desktop {
  std::vector<Shortcut> shortcuts;
  std::vector<Plain> plain;
};

Desktop scan(const std::wstring& originals) {
  Desktop desktop;
  for (const std::wstring& folder :
       {known_folder(FOLDERID_Desktop), known_folder(FOLDERID_PublicDesktop)}) {
    WIN32_FIND_DATAW found;
    const std::wstring pattern = folder + L"\\*";
    HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) continue;  // an empty public desktop
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN)) != 0) {
        fail(L"expected plain files and links only, found", folder + L"\\" + name, 0);
      }
      const std::wstring path = folder + L"\\" + name;
      if (ends_with_lnk(name)) {
        const std::wstring backup =
            originals + L"\\" + std::to_wstring(desktop.shortcuts.size()) + L".lnk";
        desktop.shortcuts.push_back(Shortcut{path, backup});
      } else {
        desktop.plain.push_back(Plain{path, path + L".lnk"});
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  return desktop;
}

void apply(Desktop& desktop, const std::wstring& icon, bool flushing, Hasher& hasher) {
  for (Shortcut& s : desktop.shortcuts) {
    const std::string original = read_all(s.path);
    write_all(s.backup, original, CREATE_NEW, flushing);
    s.original = hasher.bytes(original);
    Link link;
    link.load(original, s.path);
    check_hr(link.link->SetIconLocation(icon.c_str(), 0), L"SetIconLocation", s.path);
    const std::string applied = link.save(s.path);
    // The restore proves the shortcut by the hash of what was written.
    s.applied = hasher.bytes(applied);
    write_all(s.path, applied, OPEN_EXISTING, flushing);
  }
  for (Plain& p : desktop.plain) {
    Link link;
    check_hr(link.link->SetPath(p.path.c_str()), L"SetPath", p.link);
    check_hr(link.link->SetIconLocation(icon.c_str(), 0), L"SetIconLocation", p.link);
    const std::string bytes = link.save(p.link);
    p.link_hash = hasher.bytes(bytes);
    // Only where the name is free, so that a file that appears meanwhile is never replaced.
    write_all(p.link, bytes, CREATE_NEW, flushing);
    const DWORD attributes = GetFileAttributesW(p.path.c_str());
    check(attributes != INVALID_FILE_ATTRIBUTES, L"GetFileAttributesW", p.path);
    check(SetFileAttributesW(p.path.c_str(), attributes | FILE_ATTRIBUTE_HIDDEN) != 0,
          L"SetFileAttributesW(hidden)", p.path);
  }
}

// In the program's order: the plain files' links go first, then the shortcuts.
void restore(const Desktop& desktop, bool flushing, Hasher& hasher) {
  for (const Plain& p : desktop.plain) {
    if (hasher.file(p.link) != p.link_hash) fail(L"the link changed:", p.link, 0);
    const DWORD attributes = GetFileAttributesW(p.path.c_str());
    check(attributes != INVALID_FILE_ATTRIBUTES, L"GetFileAttributesW", p.path);
    const DWORD shown = attributes & ~FILE_ATTRIBUTE_HIDDEN;
    check(SetFileAttributesW(p.path.c_str(), shown != 0 ? shown : FILE_ATTRIBUTE_NORMAL) != 0,
          L"SetFileAttributesW(shown)", p.path);
    check(DeleteFileW(p.link.c_str()) != 0, L"DeleteFileW", p.link);
  }
  for (const Shortcut& s : desktop.shortcuts) {
    const std::string original = read_all(s.backup);
    if (hasher.bytes(original) != s.original) fail(L"the copy changed:", s.backup, 0);
    if (hasher.file(s.path) != s.applied) fail(L"the shortcut changed:", s.path, 0);
    write_all(s.path, original, OPEN_EXISTING, flushing);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2 || (std::wcscmp(argv[1], L"flush") != 0 && std::wcscmp(argv[1], L"noflush"))) {
    std::fwprintf(stderr, L"usage: bench_reference.exe flush|noflush\n");
    return 2;
  }
  const bool flushing = std::wcscmp(argv[1], L"flush") == 0;
  check_hr(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), L"CoInitializeEx", L"");

  wchar_t local[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH);
  check(length > 0 && length < MAX_PATH, L"GetEnvironmentVariableW", L"LOCALAPPDATA");
  const std::wstring home = std::wstring(local) + L"\\MossglowBenchReference";
  const std::wstring originals = home + L"\\originals";
  CreateDirectoryW(home.c_str(), nullptr);
  CreateDirectoryW(originals.c_str(), nullptr);
  // Never written: a link names its icon whether or not the file is there.
  const std::wstring icon = home + L"\\brambun.ico";

  Hasher hasher;
  const LARGE_INTEGER apply_start = now();
  Desktop desktop = scan(originals);
  apply(desktop, icon, flushing, hasher);
  const LARGE_INTEGER apply_end = now();
  restore(desktop, flushing, hasher);
  const LARGE_INTEGER restore_end = now();

  std::printf("apply_ms=%.1f restore_ms=%.1f shortcuts=%zu plain=%zu\n",
              milliseconds(apply_start, apply_end), milliseconds(apply_end, restore_end),
              desktop.shortcuts.size(), desktop.plain.size());
  CoUninitialize();
  return 0;
}
