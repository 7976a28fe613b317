// The Windows back end of the installer's user interface: the destination page
// (dialog 1100), the progress page (dialog 1000) and the File Exists question
// (dialog 1200), from the templates of the language handle.
//
// Threads. The pages run their modal loops on the main thread. The progress
// page's ProgressView is driven by the extraction worker, which never touches
// the page's windows except through messages:
// - the bar and the status line: SendMessage to the controls (ordered, and the
//   status text lives until the call returns);
// - the end of the page: a posted private message, whose handler calls
//   EndDialog on the page's own thread; the first end decides;
// - the File Exists question and the worker's message boxes: a private message
//   sent to the page, so that the dialog and the boxes run on the main thread,
//   owned by the page, inside its message loop.
// The page's Cancel button runs the cancel question on a short-lived helper
// thread, so that the main thread keeps delivering messages while the question
// waits for a File Exists question or an error box of the worker to finish (the
// progress object asks one question at a time, under a lock; a main thread
// blocked on that lock could not deliver the worker's question: a deadlock).
// The helper's box is shown by the main thread too, through the same message.
#include "platform/win32/windows_wrapper.h"

#include <commctrl.h>

#include <atomic>
#include <cstring>
#include <new>

#include "app/installer_state.h"
#include "app/ui/win32/win32_ui.h"
#include "app/wizard.h"
#include "platform/resources.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "platform/win32/win32_util.h"
#include "runtime/zo_dib.h"
#include "runtime/zo_lang.h"
#include "runtime/zo_msgbox.h"
#include "runtime/zo_printf.h"
#include "runtime/zo_window.h"

namespace {

// Templates and controls.
constexpr uint32_t kProgressPage = 1000;
constexpr uint32_t kDestinationPage = 1100;
constexpr uint32_t kFileExistsDialog = 1200;
constexpr int kIdProgressBar = 1001;
constexpr int kIdProgressText = 1004;
constexpr int kIdStatus = 1002;
constexpr int kIdFolderEdit = 1101;
constexpr int kIdFolderText = 1103;
constexpr int kIdChange = 1104;
constexpr int kIdNext = 2000;
constexpr int kIdBack = 2001;
constexpr int kIdExistsText = 1201;
constexpr int kIdExistsQuestion = 1202;

// Strings.
constexpr uint32_t kStringProgressTitle = 150;
constexpr uint32_t kStringProgressText = 152;
constexpr uint32_t kStringDestinationTitle = 160;
constexpr uint32_t kStringSelectDirectory = 164;
constexpr uint32_t kStringFileExistsCaption = 511;
constexpr uint32_t kStringExists = 512;
constexpr uint32_t kStringExistsReadOnly = 513;
constexpr uint32_t kStringOverwrite = 514;

// A page without a stored position is centred on the screen, upper third.
constexpr uint32_t kCentreOnScreen = 0x8001;
constexpr int kTextCapacity = 1024;

// The page title: 12 logical units high, bold, default character set, drawn
// from the banner's height down.
constexpr int kTitleHeight = 12;
constexpr int kTitleWeight = 700;
constexpr int kTitleTop = 31;
constexpr int kTitleBottom = 51;
constexpr int kBannerTop = 11;

// Private messages of the progress page.
constexpr UINT kMsgEndPage = WM_APP + 1;        // wParam: the dialog result
constexpr UINT kMsgAskFileExists = WM_APP + 2;  // lParam: const FileExistsRequest*; reply: the button id
constexpr UINT kMsgShowMessage = WM_APP + 3;    // lParam: const MessageArguments*; reply: the box's answer

struct MessageArguments {
  const ZoChar* text;
  const ZoChar* caption;
  uint32_t flags;
};

const wchar_t* W(const ZoChar* text) { return reinterpret_cast<const wchar_t*>(text); }
wchar_t* W(ZoChar* text) { return reinterpret_cast<wchar_t*>(text); }

void SetItemString(HWND dialog, int control, uint32_t id) {
  ZoChar text[kTextCapacity];
  ZoLoadString(g_installer.language, id, text, kTextCapacity);
  SetDlgItemTextW(dialog, control, W(text));
}

// A dialog procedure's answer to a message with a result of its own.
INT_PTR Reply(HWND dialog, LONG_PTR value) {
  SetWindowLongPtrW(dialog, DWLP_MSGRESULT, value);
  return TRUE;
}

intptr_t ShowDialog(uint32_t id, HWND owner, DLGPROC procedure, LPARAM parameter) {
  return ZoDialogBoxParam(g_installer.language, plat::ResourceId(id), owner, reinterpret_cast<void*>(procedure),
                          parameter);
}

// Delivers what the thread's message queue holds, sent messages included.
void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// ---- the banner -------------------------------------------------------------

struct Banner {
  HBITMAP bitmap = nullptr;
  int32_t width = 0;
  int32_t height = 0;
};

// The loader's DIB as a BITMAPINFO the system takes: its own header for the
// system's layouts, an 8-bit grey palette for greyscale, alpha dropped (the
// colour is blended onto the dialog face). False for a layout the system
// cannot show; the page then has no banner.
struct SystemBitmapInfo {
  BITMAPINFOHEADER header;
  RGBQUAD colours[256];
};

bool DescribeForSystem(const ZoBitmapInfoHeader* dib, SystemBitmapInfo* info) {
  *info = {};
  std::memcpy(&info->header, dib, sizeof info->header);
  info->header.biSize = sizeof info->header;
  const uint16_t bits = dib->biBitCount;
  if (dib->biCompression == ZO_BI_RGB || dib->biCompression == ZO_BI_BITFIELDS) {
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    const ZoRgbQuad* colours = ZoDibColors(const_cast<ZoBitmapInfoHeader*>(dib));
    uint32_t count = dib->biCompression == ZO_BI_BITFIELDS ? 3 : dib->biClrUsed;
    if (dib->biCompression == ZO_BI_RGB && count == 0 && bits <= 8) count = 1u << bits;
    if (count > 256) return false;
    std::memcpy(info->colours, colours, count * sizeof(RGBQUAD));
    return true;
  }
  if (dib->biCompression == ZO_BI_GREYSCALE && (bits == 1 || bits == 4 || bits == 8)) {
    const uint32_t count = 1u << bits;
    for (uint32_t i = 0; i < count; ++i) {
      const BYTE level = static_cast<BYTE>(i * 255 / (count - 1));
      info->colours[i] = RGBQUAD{level, level, level, 0};
    }
    info->header.biCompression = BI_RGB;
    info->header.biClrUsed = count;
    return true;
  }
  if (dib->biCompression == ZO_BI_ALPHA && bits == 32) {
    info->header.biCompression = BI_RGB;
    return true;
  }
  return false;
}

Banner* CreateBanner(const ZoBitmapInfoHeader* dib) {
  if (!dib || dib->biWidth <= 0 || dib->biHeight == 0) return nullptr;
  SystemBitmapInfo info;
  if (!DescribeForSystem(dib, &info)) return nullptr;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap || !bits) {
    if (bitmap) DeleteObject(bitmap);
    return nullptr;
  }
  const int32_t height = dib->biHeight < 0 ? -dib->biHeight : dib->biHeight;
  const uint32_t stride = ZoDibStride(dib);
  const uint8_t* source = ZoDibBits(const_cast<ZoBitmapInfoHeader*>(dib));
  std::memcpy(bits, source, static_cast<size_t>(stride) * static_cast<size_t>(height));
  if (dib->biCompression == ZO_BI_ALPHA) {
    // Premultiplied onto the dialog face: transparent parts look like the page.
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const uint32_t faceRgb[3] = {GetBValue(face), GetGValue(face), GetRValue(face)};
    uint8_t* pixel = static_cast<uint8_t*>(bits);
    const size_t count = static_cast<size_t>(stride) * static_cast<size_t>(height) / 4;
    for (size_t i = 0; i < count; ++i, pixel += 4) {
      const uint32_t alpha = pixel[3];
      for (int c = 0; c < 3; ++c) pixel[c] = static_cast<uint8_t>((pixel[c] * alpha + faceRgb[c] * (255 - alpha)) / 255);
      pixel[3] = 0;
    }
  }
  Banner* banner = new (std::nothrow) Banner;
  if (!banner) {
    DeleteObject(bitmap);
    return nullptr;
  }
  banner->bitmap = bitmap;
  banner->width = dib->biWidth;
  banner->height = height;
  return banner;
}

// The banner's left edge in a client area `clientWidth` wide: 20 pixels in when
// there is room to spare, centred in a little room, flush left in none.
int BannerLeft(int clientWidth, int bannerWidth) {
  const int free = clientWidth - bannerWidth;
  if (free > 40) return 20;
  if (free <= 0) return 0;
  return free / 2;
}

// ---- page drawing and placement --------------------------------------------

void DrawTitle(HWND page, HDC dc, uint32_t titleId, int anchorId) {
  RECT anchor{};
  GetWindowRect(GetDlgItem(page, anchorId), &anchor);
  MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&anchor), 2);
  RECT box{anchor.left, g_installer.bannerHeight + kTitleTop, anchor.right, g_installer.bannerHeight + kTitleBottom};
  // A face the system does not have is replaced by its mapper; a font that
  // cannot be made at all falls back to the default face.
  HFONT font = CreateFontW(kTitleHeight, 0, 0, 0, kTitleWeight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                           W(g_installer.titleFont));
  if (!font)
    font = CreateFontW(kTitleHeight, 0, 0, 0, kTitleWeight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"");
  HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, static_cast<COLORREF>(g_installer.titleColor & 0x00FFFFFFu));
  ZoChar title[kTextCapacity];
  ZoLoadString(g_installer.language, titleId, title, kTextCapacity);
  DrawTextW(dc, W(title), -1, &box, DT_SINGLELINE | DT_VCENTER);
  if (previous) SelectObject(dc, previous);
  if (font) DeleteObject(font);
}

void PaintPage(HWND page, uint32_t titleId, int anchorId) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(page, &paint);
  if (!dc) return;
  const Banner* banner = static_cast<const Banner*>(g_installer.banner);
  if (banner && banner->bitmap) {
    RECT client{};
    GetClientRect(page, &client);
    HDC memory = CreateCompatibleDC(dc);
    if (memory) {
      HGDIOBJ previous = SelectObject(memory, banner->bitmap);
      BitBlt(dc, BannerLeft(client.right - client.left, banner->width), kBannerTop, banner->width, banner->height,
             memory, 0, 0, SRCCOPY);
      SelectObject(memory, previous);
      DeleteDC(memory);
    }
  }
  DrawTitle(page, dc, titleId, anchorId);
  EndPaint(page, &paint);
}

// The stored position of the previous page when there is one, kept on the
// desktop (the display may have changed between pages); else centred.
void PositionPage(HWND page) {
  if (g_installer.windowX != -1 && g_installer.windowY != -1) {
    RECT window{};
    GetWindowRect(page, &window);
    plat::Rect place{g_installer.windowX, g_installer.windowY, g_installer.windowX + (window.right - window.left),
                     g_installer.windowY + (window.bottom - window.top)};
    ZoForceRectOntoDesktop(&place, 0, 0);
    plat::MoveWindowTo(page, place.left, place.top);
  } else {
    ZoWndCenter(page, nullptr, nullptr, kCentreOnScreen);
  }
}

void StorePosition(HWND page) {
  RECT window{};
  if (!GetWindowRect(page, &window)) return;
  g_installer.windowX = window.left;
  g_installer.windowY = window.top;
}

// ---- the destination page ----------------------------------------------------

void UpdateNextButton(HWND page) {
  EnableWindow(GetDlgItem(page, kIdNext), GetWindowTextLengthW(GetDlgItem(page, kIdFolderEdit)) > 0);
}

void ChooseFolder(HWND page) {
  ZoChar path[ZO_MAX_PATH] = {};
  GetDlgItemTextW(page, kIdFolderEdit, W(path), ZO_MAX_PATH);
  ZoChar title[kTextCapacity];
  ZoLoadString(g_installer.language, kStringSelectDirectory, title, kTextCapacity);
  if (ZoSelectDirectoryDlgEx(page, title, path, ZO_MAX_PATH, true, true) < 0) return;
  plat::CopyTruncated(g_installer.targetFolder, ZO_MAX_PATH, path);
  SetDlgItemTextW(page, kIdFolderEdit, W(g_installer.targetFolder));
}

void LeaveDestinationPage(HWND page, int button) {
  ZoChar text[ZO_MAX_PATH] = {};
  GetDlgItemTextW(page, kIdFolderEdit, W(text), ZO_MAX_PATH);
  if (ValidateDestination(text, button == kIdNext, page)) {
    StorePosition(page);
    EndDialog(page, button);
  } else {
    SetFocus(GetDlgItem(page, kIdFolderEdit));
  }
}

INT_PTR CALLBACK DestinationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SendDlgItemMessageW(page, kIdFolderEdit, EM_LIMITTEXT, DestinationTextLimit(), 0);
      SetDlgItemTextW(page, kIdFolderEdit, W(g_installer.targetFolder));
      SetWindowTextW(page, W(g_installer.caption));
      SetItemString(page, kIdFolderText, kIdFolderText);
      UpdateNextButton(page);
      PositionPage(page);
      SetFocus(GetDlgItem(page, kIdNext));
      return FALSE;  // the focus is set: the system must not move it
    case WM_PAINT:
      PaintPage(page, kStringDestinationTitle, kIdFolderEdit);
      return TRUE;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (id == kIdFolderEdit) {
        if (HIWORD(wParam) == EN_CHANGE) UpdateNextButton(page);
        return TRUE;
      }
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      if (id == kIdChange) {
        ChooseFolder(page);
      } else if (id == IDCANCEL) {
        if (ConfirmCancel(page)) EndDialog(page, WIZARD_CANCELLED);
      } else if (id == kIdNext || id == kIdBack) {
        LeaveDestinationPage(page, id);
      } else {
        return FALSE;
      }
      return TRUE;
    }
    default:
      return FALSE;
  }
}

// ---- the File Exists question -------------------------------------------------

INT_PTR CALLBACK FileExistsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const auto* request = reinterpret_cast<const FileExistsRequest*>(lParam);
    ZoChar caption[kTextCapacity];
    ZoLoadString(g_installer.language, kStringFileExistsCaption, caption, kTextCapacity);
    SetWindowTextW(dialog, W(caption));
    static constexpr struct {
      int control;
      uint32_t text;
    } kButtons[] = {{FILE_EXISTS_YES, 304},
                    {FILE_EXISTS_YES_TO_ALL, 305},
                    {FILE_EXISTS_NO, 306},
                    {FILE_EXISTS_NO_TO_ALL, 307},
                    {FILE_EXISTS_CANCEL, 302}};
    for (const auto& button : kButtons) SetItemString(dialog, button.control, button.text);
    ZoChar format[kTextCapacity];
    ZoLoadString(g_installer.language, request->readOnly ? kStringExistsReadOnly : kStringExists, format,
                 kTextCapacity);
    ZoChar text[kTextCapacity];
    ZoPrintFEx(text, kTextCapacity, format, request->path);
    SetDlgItemTextW(dialog, kIdExistsText, W(text));
    SetItemString(dialog, kIdExistsQuestion, kStringOverwrite);
    ZoWndCenter(dialog, GetWindow(dialog, GW_OWNER), nullptr, 1);
    return TRUE;
  }
  if (message == WM_COMMAND && HIWORD(wParam) == 0) {
    // The five buttons (Esc is Cancel, id 2). Enter without a focused button
    // (IDOK) is no answer and leaves the question open.
    const int id = LOWORD(wParam);
    if (id == FILE_EXISTS_YES || id == FILE_EXISTS_YES_TO_ALL || id == FILE_EXISTS_NO ||
        id == FILE_EXISTS_NO_TO_ALL || id == FILE_EXISTS_CANCEL) {
      EndDialog(dialog, id);
      return TRUE;
    }
  }
  return FALSE;
}

// ---- the progress page -------------------------------------------------------

class Win32ProgressView final : public ProgressView {
 public:
  void Attach(HWND page) {
    page_ = page;
    bar_ = GetDlgItem(page, kIdProgressBar);
    status_ = GetDlgItem(page, kIdStatus);
  }

  void SetRange(uint32_t upperKiB) override { SendMessageW(bar_, PBM_SETRANGE32, 0, static_cast<LPARAM>(upperKiB)); }
  void Advance(uint32_t deltaKiB) override { SendMessageW(bar_, PBM_DELTAPOS, static_cast<WPARAM>(deltaKiB), 0); }
  void SetStatusText(const ZoChar* text) override {
    SendMessageW(status_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(W(text ? text : u"")));
  }
  void EndPage(intptr_t result) override {
    bool expected = false;
    if (ended_.compare_exchange_strong(expected, true)) PostMessageW(page_, kMsgEndPage, static_cast<WPARAM>(result), 0);
  }
  int32_t AskFileExists(const FileExistsRequest& request) override {
    return static_cast<int32_t>(SendMessageW(page_, kMsgAskFileExists, 0, reinterpret_cast<LPARAM>(&request)));
  }
  int32_t ShowMessage(const ZoChar* text, const ZoChar* caption, uint32_t flags) override {
    const MessageArguments arguments{text, caption, flags};
    return static_cast<int32_t>(SendMessageW(page_, kMsgShowMessage, 0, reinterpret_cast<LPARAM>(&arguments)));
  }
  plat::WindowHandle Owner() override { return page_; }

  // The Cancel button: the question on a helper thread (see the file's head);
  // a click while a question is open is ignored.
  void Cancel() {
    if (cancelling_.exchange(true)) return;
    cancelThread_.Join();
    if (!cancelThread_.Start([this] {
          CancelExtraction();
          cancelling_.store(false);
        }))
      cancelling_.store(false);
  }

  // After the page: waits for the cancel helper and the worker, delivering
  // what they still send to the main thread, so that neither can be left
  // waiting on it. Then the view may go.
  void Finish() {
    while (cancelling_.load()) {
      PumpMessages();
      Sleep(10);
    }
    cancelThread_.Join();
    if (g_installer.workerThread && g_installer.archiveEndEvent) {
      while (!g_installer.archiveEndEvent->Wait(10)) PumpMessages();
    }
    FinishExtractionWorker();
  }

 private:
  HWND page_ = nullptr;
  HWND bar_ = nullptr;
  HWND status_ = nullptr;
  std::atomic<bool> ended_{false};
  std::atomic<bool> cancelling_{false};
  plat::Thread cancelThread_;
};

Win32ProgressView* g_progressView = nullptr;

INT_PTR CALLBACK ProgressPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowTextW(page, W(g_installer.caption));
      ZoChar text[kTextCapacity];
      ExpandString(kStringProgressText, text, kTextCapacity);
      SetDlgItemTextW(page, kIdProgressText, W(text));
      g_installer.progressBar = GetDlgItem(page, kIdProgressBar);
      PositionPage(page);
      g_progressView->Attach(page);
      if (!StartExtraction(g_progressView)) g_progressView->EndPage(WIZARD_CANCELLED);
      return TRUE;
    }
    case WM_PAINT:
      PaintPage(page, kStringProgressTitle, kIdProgressBar);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) != IDCANCEL || HIWORD(wParam) != BN_CLICKED) return FALSE;
      g_progressView->Cancel();
      return TRUE;
    case kMsgEndPage:
      EndDialog(page, static_cast<INT_PTR>(wParam));
      return TRUE;
    case kMsgAskFileExists:
      return Reply(page, ShowDialog(kFileExistsDialog, page, FileExistsProc, lParam));
    case kMsgShowMessage: {
      const auto* arguments = reinterpret_cast<const MessageArguments*>(lParam);
      return Reply(page, ZoMessageBox(page, arguments->text, arguments->caption, arguments->flags));
    }
    default:
      return FALSE;
  }
}

class Win32InstallerUiImpl final : public InstallerUi {
 public:
  intptr_t RunDestinationPage() override {
    const intptr_t result = ShowDialog(kDestinationPage, nullptr, DestinationPageProc, 0);
    // A page that cannot be shown cannot be answered: the run ends as cancelled.
    return result < 0 ? WIZARD_CANCELLED : result;
  }

  intptr_t RunProgressPage() override {
    Win32ProgressView view;
    g_progressView = &view;
    const intptr_t result = ShowDialog(kProgressPage, nullptr, ProgressPageProc, 0);
    view.Finish();
    g_progressView = nullptr;
    g_installer.progressBar = nullptr;
    return result == WIZARD_FINISHED ? WIZARD_FINISHED : WIZARD_CANCELLED;
  }

  void* AdoptBanner(const ZoBitmapInfoHeader* dib, int32_t* width, int32_t* height) override {
    Banner* banner = CreateBanner(dib);
    *width = banner ? banner->width : 0;
    *height = banner ? banner->height : 0;
    return banner;
  }

  void ReleaseBanner(void* handle) override {
    Banner* banner = static_cast<Banner*>(handle);
    if (!banner) return;
    if (banner->bitmap) DeleteObject(banner->bitmap);
    delete banner;
  }
};

}  // namespace

InstallerUi& Win32InstallerUi() {
  static Win32InstallerUiImpl ui;
  // comctl32 is no KnownDLL, so it is not imported: a comctl32.dll beside the
  // package would be loaded in its place. It is bound here from the system
  // folder; the manifest's redirection gives the version 6 controls.
  static const bool registered = [] {
    using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    const auto init =
        plat::SystemEntryPoint<InitFunction>(plat::LoadSystemLibrary(L"comctl32.dll"), "InitCommonControlsEx");
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    return init && init(&controls) != FALSE;
  }();
  (void)registered;
  return ui;
}
