// Win32 back end: holds only code valid on every Windows system.
// Window queries, the multi-monitor functions looked up in USER32, MessageBoxW
// with a per-thread centring hook, the custom box (a dialog from an in-memory
// template laid out in pixels when it opens), system sounds through winmm
// (loaded from the system folder on first use) and the shell's folder browser.
#include "platform/window.h"

#include "platform/win32/win32_util.h"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/console_box.h"
#include "platform/terminal.h"

namespace plat {

static_assert(sizeof(MonitorInfo) == sizeof(MONITORINFOEXW), "MonitorInfo is MONITORINFOEXW");
static_assert(sizeof(Rect) == sizeof(RECT), "Rect is RECT");

namespace {

HWND W(WindowHandle w) { return static_cast<HWND>(w); }
Rect FromRect(const RECT& r) { return Rect{r.left, r.top, r.right, r.bottom}; }
RECT ToRect(const Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

}  // namespace

// --- Window queries. ---

WindowHandle GetLastActivePopup(WindowHandle window) {
  return window && ::IsWindow(W(window)) ? ::GetLastActivePopup(W(window)) : nullptr;
}
WindowHandle GetParentWindow(WindowHandle window) { return window ? ::GetParent(W(window)) : nullptr; }
bool IsWindowMinimised(WindowHandle window) { return window && ::IsIconic(W(window)); }
bool IsChildWindow(WindowHandle window) {
  return window && (::GetWindowLongPtrW(W(window), GWL_STYLE) & WS_CHILD) != 0;
}
bool GetWindowRectangle(WindowHandle window, Rect* out) {
  RECT r;
  if (!window || !out || !::GetWindowRect(W(window), &r)) return false;
  *out = FromRect(r);
  return true;
}
bool GetRestoredWindowRectangle(WindowHandle window, Rect* out) {
  WINDOWPLACEMENT placement{};
  placement.length = sizeof(placement);
  if (!window || !out || !::GetWindowPlacement(W(window), &placement)) return false;
  *out = FromRect(placement.rcNormalPosition);
  return true;
}
bool GetClientRectangleOnScreen(WindowHandle window, Rect* out) {
  RECT r;
  if (!window || !out || !::GetClientRect(W(window), &r)) return false;
  POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
  ::MapWindowPoints(W(window), nullptr, corners, 2);
  *out = Rect{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
  return true;
}
bool GetCursorPosition(Point* out) {
  POINT p;
  if (!out || !::GetCursorPos(&p)) return false;
  *out = Point{p.x, p.y};
  return true;
}
bool MoveWindowTo(WindowHandle window, int32_t x, int32_t y) {
  return window && ::SetWindowPos(W(window), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
Size GetScreenSize() { return Size{::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)}; }
bool GetPrimaryWorkArea(Rect* out) {
  RECT r;
  if (!out || !::SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0)) return false;
  *out = FromRect(r);
  return true;
}
bool GetDeviceClipBox(DeviceContext dc, Rect* out) {
  RECT r;
  if (!dc || !out || ::GetClipBox(static_cast<HDC>(dc), &r) == ERROR) return false;
  *out = FromRect(r);
  return true;
}
bool GetScreenClipBox(Rect* out) {
  HDC dc = ::GetDC(nullptr);
  if (!dc) return false;
  const bool ok = GetDeviceClipBox(dc, out);
  ::ReleaseDC(nullptr, dc);
  return ok;
}

// --- Multi-monitor functions. ---

namespace {

struct SystemMonitorFunctions {
  decltype(&::EnumDisplayMonitors) enumerate = nullptr;
  decltype(&::MonitorFromRect) fromRect = nullptr;
  decltype(&::MonitorFromPoint) fromPoint = nullptr;
  decltype(&::GetMonitorInfoW) info = nullptr;
  decltype(&::MonitorFromWindow) fromWindow = nullptr;
  uint32_t present = 0;
};

template <typename F>
void LookUp(HMODULE user32, const char* name, F* out) {
  // GetProcAddress returns a generic function pointer; each name has the type of
  // the declaration it is stored under.
  *out = reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(user32, name)));
}

const SystemMonitorFunctions& Monitors() {
  static const SystemMonitorFunctions functions = [] {
    SystemMonitorFunctions f;
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    if (!user32) return f;
    LookUp(user32, "EnumDisplayMonitors", &f.enumerate);
    LookUp(user32, "MonitorFromRect", &f.fromRect);
    LookUp(user32, "MonitorFromPoint", &f.fromPoint);
    LookUp(user32, "GetMonitorInfoW", &f.info);
    LookUp(user32, "MonitorFromWindow", &f.fromWindow);
    f.present = (f.enumerate ? kHasEnumDisplayMonitors : 0) | (f.fromRect ? kHasMonitorFromRect : 0) |
                (f.fromPoint ? kHasMonitorFromPoint : 0) | (f.info ? kHasGetMonitorInfo : 0) |
                (f.fromWindow ? kHasMonitorFromWindow : 0);
    return f;
  }();
  return functions;
}

struct EnumContext {
  MonitorEnumCallback callback;
  intptr_t data;
};

BOOL CALLBACK EnumThunk(HMONITOR monitor, HDC dc, LPRECT rect, LPARAM param) {
  const EnumContext* context = reinterpret_cast<const EnumContext*>(param);
  return context->callback(monitor, dc, rect ? FromRect(*rect) : Rect{}, context->data) ? TRUE : FALSE;
}

}  // namespace

uint32_t BindSystemMonitorFunctions() { return Monitors().present; }

MonitorHandle SystemMonitorFromRect(const Rect& rect, uint32_t flags) {
  const RECT r = ToRect(rect);
  return Monitors().fromRect ? Monitors().fromRect(&r, flags) : nullptr;
}
MonitorHandle SystemMonitorFromPoint(Point point, uint32_t flags) {
  return Monitors().fromPoint ? Monitors().fromPoint(POINT{point.x, point.y}, flags) : nullptr;
}
MonitorHandle SystemMonitorFromWindow(WindowHandle window, uint32_t flags) {
  return Monitors().fromWindow ? Monitors().fromWindow(W(window), flags) : nullptr;
}
bool SystemGetMonitorInfo(MonitorHandle monitor, MonitorInfo* info) {
  if (!Monitors().info || !info) return false;
  return Monitors().info(static_cast<HMONITOR>(monitor), reinterpret_cast<MONITORINFO*>(info)) != FALSE;
}
bool SystemEnumDisplayMonitors(DeviceContext dc, const Rect* clip, MonitorEnumCallback callback, intptr_t data) {
  if (!Monitors().enumerate || !callback) return false;
  EnumContext context{callback, data};
  RECT r{};
  if (clip) r = ToRect(*clip);
  return Monitors().enumerate(static_cast<HDC>(dc), clip ? &r : nullptr, EnumThunk,
                              reinterpret_cast<LPARAM>(&context)) != FALSE;
}

// --- Standard message boxes. ---

namespace {

// The centring hook of this thread: installed for one MessageBoxW call at a
// time. The first dialog created (class "#32770") is the box; it is positioned
// on WM_CREATE when its caption is already the box's, and again just before it
// is first shown, when the caption is checked once more: a box may set its
// caption and size only after creation (Wine's does, in WM_INITDIALOG).
struct CentringHook {
  HHOOK hook = nullptr;
  const wchar_t* caption = nullptr;
  HWND box = nullptr;
  CentreWindowFunction centre = nullptr;
};
thread_local CentringHook tCentring;

void RemoveCentringHook() {
  if (tCentring.hook) ::UnhookWindowsHookEx(tCentring.hook);
  tCentring = CentringHook{};
}

bool CaptionMatches(HWND window) {
  wchar_t text[81] = {};
  ::GetWindowTextW(window, text, 81);
  return std::wcscmp(text, tCentring.caption) == 0;
}

LRESULT CALLBACK CentringHookProc(int code, WPARAM wParam, LPARAM lParam) {
  const HHOOK self = tCentring.hook;
  if (code >= 0 && tCentring.caption && lParam) {
    const CWPSTRUCT* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (message->message == WM_CREATE && !tCentring.box) {
      wchar_t className[81] = {};
      ::GetClassNameW(message->hwnd, className, 81);
      if (::lstrcmpiW(className, L"#32770") == 0) {
        tCentring.box = message->hwnd;
        if (CaptionMatches(message->hwnd)) tCentring.centre(message->hwnd);
      }
    } else if (message->message == WM_SHOWWINDOW && message->wParam && message->hwnd == tCentring.box) {
      if (CaptionMatches(message->hwnd)) tCentring.centre(message->hwnd);
      const LRESULT result = ::CallNextHookEx(self, code, wParam, lParam);
      RemoveCentringHook();
      return result;
    }
  }
  return ::CallNextHookEx(self, code, wParam, lParam);
}

}  // namespace

int32_t ShowMessageBox(const MessageBoxRequest& request) {
  const wchar_t* caption = Wide(request.caption ? request.caption : u"");
  bool installed = false;
  if (request.centre && !tCentring.hook) {
    tCentring.hook = ::SetWindowsHookExW(WH_CALLWNDPROC, CentringHookProc, nullptr, ::GetCurrentThreadId());
    if (tCentring.hook) {
      tCentring.caption = caption;
      tCentring.centre = request.centre;
      installed = true;
    }
  }
  const int result = ::MessageBoxW(W(request.owner), Wide(request.text ? request.text : u""), caption, request.flags);
  if (installed && tCentring.hook) RemoveCentringHook();
  return result;
}

// --- The custom box. ---

namespace {

constexpr int kButtonHeight = 23;
constexpr int kTemplateButtonWidth = 75;
constexpr int kTemplateTextHeight = 32;  // the smallest message area
constexpr int kMargin = 11;

struct CustomBoxState {
  const CustomBoxRequest* request = nullptr;
  HFONT font = nullptr;
  std::vector<HWND> bottomRow;  // buttons, toggle and check box: move with the details
  HWND details = nullptr;
  HWND toggle = nullptr;
  int detailsHeight = 0;  // pixels the dialog grows by when the details show
  bool detailsShown = false;
};

SIZE MeasureText(HDC dc, const std::wstring& text, int width, UINT flags) {
  RECT r{0, 0, width, 0};
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_NOPREFIX | flags);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

// Lines of the message: split at line feeds, each wrapped at `width`, an empty
// line counting one.
int CountLines(HDC dc, const std::wstring& text, int width, int lineHeight) {
  int lines = 0;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(L'\n', start);
    std::wstring line = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    if (line.empty()) {
      ++lines;
    } else {
      const SIZE s = MeasureText(dc, line, width, DT_WORDBREAK);
      lines += std::max(1, static_cast<int>((s.cy + lineHeight - 1) / lineHeight));
    }
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  return lines;
}

HWND AddControl(HWND dialog, const wchar_t* cls, const ZoChar* text, DWORD style, DWORD exStyle, int id, int x, int y,
                int w, int h, HFONT font) {
  HWND control = ::CreateWindowExW(exStyle, cls, text ? Wide(text) : L"", WS_CHILD | WS_VISIBLE | style, x, y, w, h,
                                   dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   ::GetModuleHandleW(nullptr), nullptr);
  if (control) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

// Grows or shrinks the dialog by the details area and moves the bottom row.
void ToggleDetails(HWND dialog, CustomBoxState* state) {
  const int delta = state->detailsShown ? -state->detailsHeight : state->detailsHeight;
  state->detailsShown = !state->detailsShown;
  for (HWND control : state->bottomRow) {
    RECT r;
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    ::SetWindowPos(control, nullptr, r.left, r.top + delta, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::ShowWindow(state->details, state->detailsShown ? SW_SHOW : SW_HIDE);
  ::SetWindowTextW(state->toggle, Wide(state->detailsShown ? state->request->hideDetailsLabel
                                                           : state->request->showDetailsLabel));
  RECT window;
  ::GetWindowRect(dialog, &window);
  ::SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left, window.bottom - window.top + delta,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void LayOut(HWND dialog, CustomBoxState* state) {
  const CustomBoxRequest& request = *state->request;
  const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
  HDC dc = ::GetDC(dialog);
  HGDIOBJ oldFont = ::SelectObject(dc, state->font);
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(dc, &metrics);
  const int lineHeight = metrics.tmHeight + metrics.tmExternalLeading;
  const int charWidth = std::max<int>(1, metrics.tmAveCharWidth);

  HICON icon = nullptr;
  switch (request.icon) {
    case kIconStop: icon = ::LoadIconW(nullptr, IDI_HAND); break;
    case kIconQuestion: icon = ::LoadIconW(nullptr, IDI_QUESTION); break;
    case kIconExclamation: icon = ::LoadIconW(nullptr, IDI_EXCLAMATION); break;
    case kIconInformation: icon = ::LoadIconW(nullptr, IDI_ASTERISK); break;
    default: break;
  }
  const int iconSize = icon ? ::GetSystemMetrics(SM_CXICON) : 0;
  const bool hasDetails = request.details != nullptr;

  // The message area.
  const std::wstring text = Wide(request.text ? request.text : u"");
  const int maxTextWidth = std::max(charWidth * 10, screenWidth * 3 / 8 - (icon ? iconSize + kMargin : 0));
  const int maxTextHeight = hasDetails ? screenHeight * 3 / 8 : screenHeight * 3 / 4;
  const SIZE wrapped = MeasureText(dc, text, maxTextWidth, DT_WORDBREAK);
  const int textWidth = std::min<int>(maxTextWidth, std::max<int>(wrapped.cx, charWidth * 10));
  const int lines = CountLines(dc, text, textWidth, lineHeight);
  const int textHeight = std::max(kTemplateTextHeight, std::min(maxTextHeight, (lines + 1) * lineHeight));

  // Buttons: all as wide as the widest label.
  int buttonWidth = kTemplateButtonWidth;
  auto widen = [&](const ZoChar* label) {
    if (label) buttonWidth = std::max<int>(buttonWidth, MeasureText(dc, Wide(label), 0, 0).cx + 4 * charWidth);
  };
  for (int i = 0; i < request.buttonCount; ++i) widen(request.buttons[i].label);
  if (hasDetails) {
    widen(request.showDetailsLabel);
    widen(request.hideDetailsLabel);
  }
  const int buttonCount = request.buttonCount + (hasDetails ? 1 : 0);
  const int rowWidth = buttonCount * buttonWidth + (buttonCount - 1) * charWidth;
  const int checkWidth =
      request.checkState ? MeasureText(dc, Wide(request.checkLabel ? request.checkLabel : u""), 0, 0).cx +
                               ::GetSystemMetrics(SM_CXMENUCHECK) + 2 * charWidth
                         : 0;

  int clientWidth = kMargin + (icon ? iconSize + kMargin : 0) + textWidth + kMargin;
  clientWidth = std::max(clientWidth, kMargin + checkWidth + (checkWidth ? 2 * charWidth : 0) + rowWidth + kMargin);
  if (hasDetails) clientWidth = std::max(clientWidth, screenWidth * 3 / 8);

  int y = kMargin;
  if (icon) {
    HWND iconControl = AddControl(dialog, L"STATIC", nullptr, SS_ICON, 0, kCustomBoxIcon, kMargin, y, iconSize,
                                  iconSize, state->font);
    ::SendMessageW(iconControl, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
  }
  const int textLeft = kMargin + (icon ? iconSize + kMargin : 0);
  AddControl(dialog, L"STATIC", request.text, SS_LEFT | SS_NOPREFIX, 0, kCustomBoxMessage, textLeft, y,
             clientWidth - textLeft - kMargin, textHeight, state->font);
  y += std::max(textHeight, iconSize) + kMargin;

  if (hasDetails) {
    const SIZE detailsSize = MeasureText(dc, Wide(request.details), clientWidth - 2 * kMargin, DT_WORDBREAK);
    const int detailsBox = std::min<int>(screenHeight * 3 / 8, std::max<int>(detailsSize.cy, 3 * lineHeight) + 8);
    state->details = AddControl(dialog, L"EDIT", request.details,
                                ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP,
                                WS_EX_CLIENTEDGE, kCustomBoxDetailsText, kMargin, y, clientWidth - 2 * kMargin,
                                detailsBox, state->font);
    ::ShowWindow(state->details, SW_HIDE);
    state->detailsHeight = detailsBox + kMargin;
  }

  // The bottom row: check box at the left, buttons centred (right-aligned with a check box).
  int x = request.checkState ? clientWidth - kMargin - rowWidth : (clientWidth - rowWidth) / 2;
  HWND defaultButton = nullptr;
  for (int i = 0; i < request.buttonCount; ++i) {
    const bool isDefault = i == request.defaultIndex;
    HWND button = AddControl(dialog, L"BUTTON", request.buttons[i].label,
                             WS_TABSTOP | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), 0, request.buttons[i].id, x,
                             y, buttonWidth, kButtonHeight, state->font);
    if (isDefault) defaultButton = button;
    state->bottomRow.push_back(button);
    x += buttonWidth + charWidth;
  }
  if (hasDetails) {
    state->toggle = AddControl(dialog, L"BUTTON", request.showDetailsLabel, WS_TABSTOP | BS_PUSHBUTTON, 0,
                               kCustomBoxDetailsButton, x, y, buttonWidth, kButtonHeight, state->font);
    state->bottomRow.push_back(state->toggle);
  }
  if (request.checkState) {
    HWND check = AddControl(dialog, L"BUTTON", request.checkLabel, WS_TABSTOP | BS_AUTOCHECKBOX, 0,
                            kCustomBoxCheckBox, kMargin, y, checkWidth, kButtonHeight, state->font);
    ::SendMessageW(check, BM_SETCHECK, *request.checkState ? BST_CHECKED : BST_UNCHECKED, 0);
    state->bottomRow.push_back(check);
  }
  y += kButtonHeight + kMargin;

  ::SelectObject(dc, oldFont);
  ::ReleaseDC(dialog, dc);

  RECT frame{0, 0, clientWidth, y};
  ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
  ::SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (request.cancelResult == 0) {
    ::EnableMenuItem(::GetSystemMenu(dialog, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
  }
  if (request.centre) request.centre(dialog);
  if (defaultButton) {
    ::SendMessageW(dialog, DM_SETDEFID, static_cast<WPARAM>(request.buttons[request.defaultIndex].id), 0);
    ::SetFocus(defaultButton);
  }
}

void StoreCheckState(HWND dialog, const CustomBoxState* state) {
  if (state->request->checkState) {
    *state->request->checkState = ::IsDlgButtonChecked(dialog, kCustomBoxCheckBox) == BST_CHECKED ? 1 : 0;
  }
}

INT_PTR CALLBACK CustomBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  CustomBoxState* state = reinterpret_cast<CustomBoxState*>(::GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      LayOut(dialog, reinterpret_cast<CustomBoxState*>(lParam));
      return FALSE;  // the focus is set
    case WM_COMMAND: {
      if (!state) break;
      const int id = LOWORD(wParam);
      if (id == kCustomBoxDetailsButton) {
        if (state->details) ToggleDetails(dialog, state);
        return TRUE;
      }
      if (id == IDCANCEL) {
        if (state->request->cancelResult == 0) return TRUE;  // the set has no Cancel
        StoreCheckState(dialog, state);
        ::EndDialog(dialog, state->request->cancelResult);
        return TRUE;
      }
      for (int i = 0; i < state->request->buttonCount; ++i) {
        if (state->request->buttons[i].id == id) {
          StoreCheckState(dialog, state);
          ::EndDialog(dialog, id);
          return TRUE;
        }
      }
      break;
    }
    default: break;
  }
  return FALSE;
}

// A dialog template without controls (they are created and laid out in pixels
// when the dialog opens): DLGTEMPLATE, no menu, the default class, the caption,
// and the font of DS_SETFONT.
std::vector<WORD> BuildTemplate(const ZoChar* caption, DWORD style) {
  std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
  DLGTEMPLATE header{};
  header.style = style;
  header.cdit = 0;
  std::memcpy(t.data(), &header, sizeof(header));
  t.push_back(0);  // menu
  t.push_back(0);  // class
  for (const ZoChar* p = caption ? caption : u""; *p; ++p) t.push_back(static_cast<WORD>(*p));
  t.push_back(0);
  t.push_back(8);  // point size
  for (const wchar_t* p = L"MS Shell Dlg"; *p; ++p) t.push_back(static_cast<WORD>(*p));
  t.push_back(0);
  return t;
}

}  // namespace

int32_t ShowCustomBox(const CustomBoxRequest& request) {
  if (!request.buttons || request.buttonCount <= 0) return 0;
  CustomBoxState state;
  state.request = &request;
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    state.font = ::CreateFontIndirectW(&metrics.lfMessageFont);
  }
  const bool ownFont = state.font != nullptr;
  if (!ownFont) state.font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  // DWORD alignment: a vector of WORD from the heap is aligned for DLGTEMPLATE.
  const std::vector<WORD> dialogTemplate =
      BuildTemplate(request.caption, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT);
  const INT_PTR result =
      ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.data()),
                                W(request.owner), CustomBoxProc, reinterpret_cast<LPARAM>(&state));
  if (ownFont) ::DeleteObject(state.font);
  return result > 0 ? static_cast<int32_t>(result) : 0;
}

// --- Sounds. ---

bool PlaySystemSound(const ZoChar* name) {
  using PlayFunction = BOOL(WINAPI*)(LPCWSTR, UINT);
  static PlayFunction play = [] {
    // From the system folder only: never a winmm.dll beside the program or in
    // the current folder.
    return SystemEntryPoint<PlayFunction>(LoadSystemLibrary(L"winmm.dll"), "sndPlaySoundW");
  }();
  constexpr UINT kAsync = 0x0001;  // SND_ASYNC
  return play && name && play(Wide(name), kAsync);
}

// --- Folder picker. ---

namespace {

struct BrowseContext {
  const FolderRequest* request;
  std::wstring start;
};

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM lParam, LPARAM data) {
  const BrowseContext* context = reinterpret_cast<const BrowseContext*>(data);
  switch (message) {
    case BFFM_INITIALIZED:
      if (!context->start.empty()) {
        ::SendMessageW(window, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(context->start.c_str()));
      }
      break;
    case BFFM_SELCHANGED: {
      wchar_t path[MAX_PATH] = {};
      const BOOL hasPath = lParam && ::SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), path);
      ::SendMessageW(window, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(hasPath ? path : L""));
      ::SendMessageW(window, BFFM_ENABLEOK, 0, hasPath ? 1 : 0);
      break;
    }
    case BFFM_VALIDATEFAILEDW:
      if (context->request->reportInvalidName) {
        context->request->reportInvalidName(window, Zo(reinterpret_cast<const wchar_t*>(lParam)));
      }
      return 1;  // keep the dialog open
    default: break;
  }
  return 0;
}

}  // namespace

ZoResult SelectFolder(const FolderRequest& request) {
  if (!request.path || request.capacity < static_cast<uint32_t>(ZO_MAX_PATH)) return E_INVALIDARG;
  const HRESULT com = ::CoInitialize(nullptr);
  if (FAILED(com)) return com;
  // Every supported system has shell 5.0 or later: the new dialog style, for
  // which OLE is initialised.
  const HRESULT ole = ::OleInitialize(nullptr);
  IMalloc* allocator = nullptr;
  ZoResult result = E_FAIL;
  if (SUCCEEDED(::SHGetMalloc(&allocator)) && allocator) {
    PIDLIST_ABSOLUTE root = nullptr;
    if (!request.rootIsDesktop) ::SHGetSpecialFolderLocation(W(request.owner), CSIDL_DRIVES, &root);
    BrowseContext context{&request, std::wstring()};
    if (request.startAtPath) {
      context.start = Wide(request.path);
    } else {
      wchar_t cwd[MAX_PATH] = {};
      if (::GetCurrentDirectoryW(MAX_PATH, cwd) > 0) context.start = cwd;
    }
    BROWSEINFOW info{};
    info.hwndOwner = W(request.owner);
    info.pidlRoot = root;
    info.lpszTitle = Wide(request.title ? request.title : u"");
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(&context);
    PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&info);
    if (!chosen) {
      result = ARC_E_CANCELLED;
    } else {
      wchar_t path[MAX_PATH] = {};
      if (::SHGetPathFromIDListW(chosen, path)) {
        CopyTruncated(request.path, request.capacity, Zo(path));
        result = S_OK;
      } else {
        request.path[0] = 0;
        result = E_FAIL;
      }
      allocator->Free(chosen);
    }
    if (root) allocator->Free(root);
    allocator->Release();
  }
  if (SUCCEEDED(ole)) ::OleUninitialize();
  ::CoUninitialize();
  return result;
}

// --- Hosts and tests. ---

namespace {

LRESULT CALLBACK OwnerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

WindowHandle CreateOwnerWindow(const ZoChar* title, const Rect& rect) {
  static const ATOM windowClass = [] {
    WNDCLASSW cls{};
    cls.lpfnWndProc = OwnerWindowProc;
    cls.hInstance = ::GetModuleHandleW(nullptr);
    cls.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    cls.lpszClassName = L"OrvOwnerWindow";
    return ::RegisterClassW(&cls);
  }();
  if (!windowClass) return nullptr;
  return ::CreateWindowExW(0, L"OrvOwnerWindow", Wide(title ? title : u""), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                           rect.left, rect.top, rect.Width(), rect.Height(), nullptr, nullptr,
                           ::GetModuleHandleW(nullptr), nullptr);
}

void DestroyOwnerWindow(WindowHandle window) {
  if (window) ::DestroyWindow(W(window));
}

WindowHandle FindTopLevelWindow(const ZoChar* caption) {
  return caption ? ::FindWindowW(nullptr, Wide(caption)) : nullptr;
}

bool SaveWindowImage(WindowHandle window, const ZoChar* path) {
  RECT r;
  if (!window || !path || !::GetWindowRect(W(window), &r)) return false;
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  if (width <= 0 || height <= 0 || width > 8192 || height > 8192) return false;
  HDC screen = ::GetDC(nullptr);
  if (!screen) return false;
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  bool ok = false;
  if (memory && bitmap) {
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    ::SelectObject(memory, old);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;  // bottom-up, as the file stores it
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::vector<BYTE> pixels(static_cast<size_t>(stride) * static_cast<size_t>(height));
    if (::GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                    reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS) == height) {
      BITMAPFILEHEADER file{};
      file.bfType = 0x4D42;  // "BM"
      file.bfOffBits = sizeof(file) + sizeof(header);
      file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
      HANDLE out = ::CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (out != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        ok = ::WriteFile(out, &file, sizeof(file), &written, nullptr) && written == sizeof(file) &&
             ::WriteFile(out, &header, sizeof(header), &written, nullptr) && written == sizeof(header) &&
             ::WriteFile(out, pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr) &&
             written == pixels.size();
        ok = ::CloseHandle(out) && ok;
      }
    }
  }
  if (bitmap) ::DeleteObject(bitmap);
  if (memory) ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return ok;
}

}  // namespace plat
