#include "platform/desktop_view_win32.hpp"

#include <windows.h>
// The shell headers need the base Windows types first.
#include <exdisp.h>
#include <servprov.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/com_win32.hpp"
#include "platform/text.hpp"

namespace mossglow {
namespace {

// An item ID list the shell allocated for us, freed with the task allocator.
class IdList {
 public:
  IdList() = default;
  explicit IdList(ITEMIDLIST* list) : list_(list) {}
  IdList(IdList&& other) noexcept : list_(std::exchange(other.list_, nullptr)) {}
  IdList& operator=(IdList&& other) noexcept {
    std::swap(list_, other.list_);
    return *this;
  }
  ~IdList() { CoTaskMemFree(list_); }

  ITEMIDLIST* get() const { return list_; }
  ITEMIDLIST** out() { return &list_; }

 private:
  ITEMIDLIST* list_ = nullptr;
};

// A text the shell allocated for us.
class TaskText {
 public:
  TaskText() = default;
  TaskText(const TaskText&) = delete;
  TaskText& operator=(const TaskText&) = delete;
  ~TaskText() { CoTaskMemFree(text_); }

  const wchar_t* get() const { return text_; }
  PWSTR* out() { return &text_; }

 private:
  PWSTR text_ = nullptr;
};

// Explorer lays the icons out in physical pixels of the desktop's list view. A thread
// that is not aware of per-monitor DPI reads those points and sizes scaled to its own
// DPI (a quarter off at 125 %), and writing such a point back moves the icon. So the
// calls that read or set points, sizes and monitors run per-monitor aware, and the
// thread gets its own setting back afterwards. The call exists from Windows 10 1607
// (version 2 of the setting from 1703); before that the process' setting stands.
class PerMonitorDpi {
 public:
  PerMonitorDpi() {
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr) return;
    // Through a plain function type, which any function pointer may be cast from.
    set_ = reinterpret_cast<SetContext>(
        reinterpret_cast<void (*)()>(GetProcAddress(user32, "SetThreadDpiAwarenessContext")));
    if (set_ == nullptr) return;
    previous_ = set_(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    if (previous_ == nullptr) previous_ = set_(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
  }
  PerMonitorDpi(const PerMonitorDpi&) = delete;
  PerMonitorDpi& operator=(const PerMonitorDpi&) = delete;
  ~PerMonitorDpi() {
    if (previous_ != nullptr) set_(previous_);
  }

 private:
  using SetContext = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
  SetContext set_ = nullptr;
  DPI_AWARENESS_CONTEXT previous_ = nullptr;
};

std::unexpected<HResult> failure(HRESULT hr) {
  return std::unexpected(HResult{static_cast<std::uint32_t>(hr)});
}

constexpr HRESULT from_win32(DWORD code) {
  return static_cast<HRESULT>(hresult_from_win32(code).value);
}

// The calling thread's last error, or `otherwise` when a failed call left none.
HRESULT last_error_or(DWORD otherwise) {
  const DWORD code = GetLastError();
  return from_win32(code != 0 ? code : otherwise);
}

// No shell desktop, or none that answers the shell's route to its view.
constexpr HRESULT no_desktop = from_win32(ERROR_NOT_FOUND);
// A view without a window shows no icons, so it has none to place.
constexpr HRESULT no_view_window = from_win32(ERROR_INVALID_WINDOW_HANDLE);

// How long the shell's desktop window may take to answer before it counts as busy.
constexpr UINT desktop_answer_ms = 500;

// Explorer's desktop view, reached through the shell's documented route. Every call
// below crosses into Explorer's process.
struct OpenView {
  Released<IShellView> shell_view;
  Released<IFolderView2> folder_view;
  HWND window = nullptr;
};

// Two cheap checks come before any COM call, so that no one waits when no view can
// help. The shell's desktop window (Progman, which Explorer registers as the shell
// window) is where its view lives: without one, Explorer is not running, is starting
// again, or another shell is, and asking COM for ShellWindows could start a server or
// wait on one. Wine never registers a shell window, which keeps its failure at a few
// microseconds instead of the several hundred milliseconds its out-of-process route
// takes. A desktop window that does not answer within a moment would make every call
// that follows block on a hung Explorer.
HRESULT check_desktop_answers() {
  const HWND desktop = GetShellWindow();
  if (desktop == nullptr) return no_desktop;
  DWORD_PTR ignored = 0;
  if (SendMessageTimeoutW(desktop, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_ERRORONEXIT,
                          desktop_answer_ms, &ignored) == 0) {
    return last_error_or(ERROR_TIMEOUT);
  }
  return S_OK;
}

HRESULT open_view(OpenView& view) {
  if (const HRESULT hr = check_desktop_answers(); FAILED(hr)) return hr;
  Released<IShellWindows> windows;
  if (const HRESULT hr = CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER,
                                          IID_IShellWindows, windows.out());
      FAILED(hr)) {
    return hr;
  }
  if (windows.get() == nullptr) return E_POINTER;
  // All zeros is VT_EMPTY: no location and no root, as the desktop is asked for.
  VARIANT empty{};
  long desktop = 0;
  Released<IDispatch> dispatch;
  const HRESULT found = windows->FindWindowSW(&empty, &empty, SWC_DESKTOP, &desktop,
                                              SWFO_NEEDDISPATCH, dispatch.typed_out());
  if (FAILED(found)) return found;
  // S_FALSE: no desktop among the shell's windows.
  if (found != S_OK || dispatch.get() == nullptr) return no_desktop;
  Released<IServiceProvider> services;
  if (const HRESULT hr = dispatch->QueryInterface(IID_IServiceProvider, services.out());
      FAILED(hr)) {
    return hr;
  }
  if (services.get() == nullptr) return E_POINTER;
  Released<IShellBrowser> browser;
  if (const HRESULT hr =
          services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.out());
      FAILED(hr)) {
    return hr;
  }
  if (browser.get() == nullptr) return E_POINTER;
  if (const HRESULT hr = browser->QueryActiveShellView(view.shell_view.typed_out()); FAILED(hr)) {
    return hr;
  }
  if (view.shell_view.get() == nullptr) return E_POINTER;
  if (const HRESULT hr = view.shell_view->QueryInterface(IID_IFolderView2, view.folder_view.out());
      FAILED(hr)) {
    return hr;
  }
  if (view.folder_view.get() == nullptr) return E_POINTER;
  if (const HRESULT hr = view.shell_view->GetWindow(&view.window); FAILED(hr)) return hr;
  // Wine's desktop hands out a view that was never given a window: it shows nothing.
  if (view.window == nullptr) return no_view_window;
  return S_OK;
}

// One item of the view: the view's own ID for it (an ID made from the path would not
// match an item of the public desktop, which the view merges in) and its parsing name.
struct ViewItem {
  IdList id;
  std::string path;
};

// The item's full parsing name: its path for a file or folder, "::{CLSID}" for the
// shell's own items (the Recycle Bin). Worked out here, in this process, from the
// view's folder and the item's ID, which saves a call into Explorer per item.
HRESULT parsing_name(const ITEMIDLIST* folder, const ITEMIDLIST* child, std::string& path) {
  const IdList absolute(ILCombine(folder, child));
  if (absolute.get() == nullptr) return E_OUTOFMEMORY;
  TaskText name;
  if (const HRESULT hr =
          SHGetNameFromIDList(absolute.get(), SIGDN_DESKTOPABSOLUTEPARSING, name.out());
      FAILED(hr)) {
    return hr;
  }
  if (name.get() == nullptr) return E_POINTER;
  path = to_wtf8(reinterpret_cast<const char16_t*>(name.get()));
  return S_OK;
}

// The folder the view shows, as an ID list: the parsing names are worked out from it.
HRESULT view_folder(IFolderView2* view, IdList& folder_id) {
  Released<IPersistFolder2> folder;
  if (const HRESULT hr = view->GetFolder(IID_IPersistFolder2, folder.out()); FAILED(hr)) {
    return hr;
  }
  if (folder.get() == nullptr) return E_POINTER;
  if (const HRESULT hr = folder->GetCurFolder(folder_id.out()); FAILED(hr)) return hr;
  if (folder_id.get() == nullptr) return E_POINTER;
  return S_OK;
}

HRESULT item_count(IFolderView2* view, int& count) {
  if (const HRESULT hr = view->ItemCount(SVGIO_ALLVIEW, &count); FAILED(hr)) return hr;
  count = std::max(count, 0);
  return S_OK;
}

// The view's item at `index`, with its own ID and its parsing name.
HRESULT view_item(IFolderView2* view, const IdList& folder_id, int index, ViewItem& item) {
  if (const HRESULT hr = view->Item(index, item.id.out()); FAILED(hr)) return hr;
  if (item.id.get() == nullptr) return E_POINTER;
  return parsing_name(folder_id.get(), item.id.get(), item.path);
}

BOOL CALLBACK add_monitor(HMONITOR, HDC, LPRECT area, LPARAM monitors) {
  reinterpret_cast<std::vector<ScreenRect>*>(monitors)->push_back(
      ScreenRect{area->left, area->top, area->right, area->bottom});
  return TRUE;
}

// The view's client size and the monitors, in physical pixels (under PerMonitorDpi).
// The monitors are sorted, so that two looks at one arrangement compare equal whatever
// order Windows lists them in.
HRESULT view_geometry(HWND window, ViewGeometry& geometry) {
  RECT client{};
  if (!GetClientRect(window, &client)) return last_error_or(ERROR_INVALID_WINDOW_HANDLE);
  geometry.width = client.right - client.left;
  geometry.height = client.bottom - client.top;
  geometry.monitors.clear();
  if (!EnumDisplayMonitors(nullptr, nullptr, add_monitor,
                           reinterpret_cast<LPARAM>(&geometry.monitors))) {
    return E_FAIL;
  }
  std::ranges::sort(geometry.monitors, {}, [](const ScreenRect& rect) {
    return std::tuple(rect.left, rect.top, rect.right, rect.bottom);
  });
  return S_OK;
}

// Whether the view really places items. A view can hand out every interface of the
// route and still refuse the one call that matters (Wine's answers E_NOTIMPL), and
// finding that out only when the program places its icons would come after it has
// changed the desktop expecting them to go back. So the first item is put at the very
// point the view has just given for it. On Windows that leaves the icon where it
// stands: the point is already its cell on the grid (with auto-arrange on, Explorer
// keeps its own order anyway), and only that item is named, so no other icon moves.
// An item placed without SVSI_SELECT is deselected, so its selection is handed back
// as it was. A view without items has nothing to try this with and is taken at its
// word; a later place() still fails by itself.
HRESULT check_places(IFolderView2* view, const ITEMIDLIST* item, POINT at) {
  DWORD state = 0;
  // A view that cannot tell is taken to have the item unselected: at worst a
  // selected icon loses its highlight.
  if (FAILED(view->GetSelectionState(item, &state))) state = 0;
  PCUITEMID_CHILD items[] = {item};
  return view->SelectAndPositionItems(1, items, &at, SVSI_POSITIONITEM | (state & SVSI_SELECT));
}

}  // namespace

ComResult<DesktopIcons> Win32DesktopView::look() {
  OpenView view;
  if (const HRESULT hr = open_view(view); FAILED(hr)) return failure(hr);
  IFolderView2* folder_view = view.folder_view.get();

  const PerMonitorDpi dpi;
  DesktopIcons look;
  if (const HRESULT hr = view_geometry(view.window, look.geometry); FAILED(hr)) {
    return failure(hr);
  }
  // S_OK is "on", S_FALSE "off"; anything else is a view that cannot say.
  const HRESULT arranged = folder_view->GetAutoArrange();
  if (FAILED(arranged)) return failure(arranged);
  look.auto_arrange = arranged == S_OK;

  IdList folder_id;
  if (const HRESULT hr = view_folder(folder_view, folder_id); FAILED(hr)) return failure(hr);
  int count = 0;
  if (const HRESULT hr = item_count(folder_view, count); FAILED(hr)) return failure(hr);
  look.icons.reserve(static_cast<std::size_t>(count));
  for (int index = 0; index < count; ++index) {
    ViewItem item;
    if (const HRESULT hr = view_item(folder_view, folder_id, index, item); FAILED(hr)) {
      return failure(hr);
    }
    POINT at{};
    if (const HRESULT hr = folder_view->GetItemPosition(item.id.get(), &at); FAILED(hr)) {
      return failure(hr);
    }
    // Before the rest of the layout is read for nothing.
    if (index == 0) {
      if (const HRESULT hr = check_places(folder_view, item.id.get(), at); FAILED(hr)) {
        return failure(hr);
      }
    }
    look.icons.push_back(PlacedIcon{std::move(item.path), IconPoint{at.x, at.y}});
  }
  return look;
}

ComResult<void> Win32DesktopView::place(const std::vector<PlacedIcon>& icons) {
  // Nothing to place asks nothing of Explorer.
  if (icons.empty()) return {};
  OpenView view;
  if (const HRESULT hr = open_view(view); FAILED(hr)) return failure(hr);
  IFolderView2* folder_view = view.folder_view.get();

  IdList folder_id;
  if (const HRESULT hr = view_folder(folder_view, folder_id); FAILED(hr)) return failure(hr);
  int count = 0;
  if (const HRESULT hr = item_count(folder_view, count); FAILED(hr)) return failure(hr);
  std::vector<ViewItem> items(static_cast<std::size_t>(count));
  for (int index = 0; index < count; ++index) {
    if (const HRESULT hr =
            view_item(folder_view, folder_id, index, items[static_cast<std::size_t>(index)]);
        FAILED(hr)) {
      return failure(hr);
    }
  }
  // Paths as the shell writes them, letter case aside.
  std::unordered_map<std::string, std::size_t> by_path;
  for (std::size_t index = 0; index < items.size(); ++index) {
    by_path.emplace(ascii_lower(items[index].path), index);
  }

  std::vector<PCUITEMID_CHILD> ids;
  std::vector<POINT> points;
  std::vector<bool> taken(items.size(), false);
  for (const PlacedIcon& icon : icons) {
    const auto found = by_path.find(ascii_lower(icon.path));
    // An item the view does not show is left out; so is a second point for one item.
    if (found == by_path.end() || taken[found->second]) continue;
    taken[found->second] = true;
    ids.push_back(items[found->second].id.get());
    points.push_back(POINT{icon.at.x, icon.at.y});
  }
  if (ids.empty()) return {};

  const PerMonitorDpi dpi;
  // All in one call: an icon that snaps to the grid and is placed alone shoves the one
  // in its cell, even when that one is about to move away.
  if (const HRESULT hr = folder_view->SelectAndPositionItems(
          static_cast<UINT>(ids.size()), ids.data(), points.data(), SVSI_POSITIONITEM);
      FAILED(hr)) {
    return failure(hr);
  }
  return {};
}

}  // namespace mossglow
