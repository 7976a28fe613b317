// Message boxes: settings, hooks, the no-UI answerer, the formatting front ends
// and the custom box's button sets. Showing is the platform's (platform/window.h).
#include "runtime/zo_msgbox.h"

#include <cstdarg>

#include "platform/text.h"
#include "platform/thread.h"
#include "runtime/zo_kernel.h"
#include "runtime/zo_printf.h"
#include "runtime/zo_window.h"

namespace {

constexpr int kAppNameCapacity = 128;
constexpr size_t kFormatCapacity = 2048;
constexpr int kLabelCapacity = 128;
constexpr int kDetailsHeadString = 48600;
constexpr int kDetailsTailString = 48601;
constexpr uint32_t kUncentredFlags = 0x1010;  // system-modal stop box
constexpr uint32_t kCentreFlags = ZO_CENTER_ON_PARENT | ZO_CENTER_MODE_UPPER_THIRD;

// Library strings of the button labels.
enum LabelString : uint32_t {
  kLabelOk = 48383,
  kLabelCancel = 48384,
  kLabelAbort = 48385,
  kLabelRetry = 48386,
  kLabelIgnore = 48387,
  kLabelYes = 48388,
  kLabelNo = 48389,
  kLabelYesToAll = 48390,
  kLabelNoToAll = 48391,
  kLabelAlways = 48392,
  kLabelShowDetails = 48393,
  kLabelCheckBox = 48394,
  kLabelHideDetails = 48395,
};

struct Settings {
  uint32_t appThread = 0;
  plat::ModuleHandle instance = nullptr;
  plat::WindowHandle appWindow = nullptr;
  ZoMsgBoxHook hook = nullptr;
  void* hookData = nullptr;
  ZoMsgBoxObserver observer = nullptr;
  ZoChar appName[kAppNameCapacity] = {};
};
Settings gSettings;

// A library string: from the kernel language handle, or from the executable
// before start-up. Cut to the capacity.
void LibraryString(uint32_t id, ZoChar* out, int capacity) {
  HZOLANG kernel = ZoKernel_GetLangHandle();
  if (kernel) {
    plat::CopyTruncated(out, static_cast<size_t>(capacity), ZoGetString(kernel, id));
  } else {
    ZoLoadString(nullptr, id, out, capacity);
  }
}

// Button table: result id and label string, left to right.
struct ButtonSpec {
  int32_t id;
  uint32_t label;
};
struct ButtonSet {
  const ButtonSpec* buttons;
  int count;
};
constexpr ButtonSpec kSet0[] = {{ZO_IDOK, kLabelOk}};
constexpr ButtonSpec kSet1[] = {{ZO_IDOK, kLabelOk}, {ZO_IDCANCEL, kLabelCancel}};
constexpr ButtonSpec kSet2[] = {{ZO_IDABORT, kLabelAbort}, {ZO_IDRETRY, kLabelRetry}, {ZO_IDIGNORE, kLabelIgnore}};
constexpr ButtonSpec kSet3[] = {{ZO_IDYES, kLabelYes}, {ZO_IDNO, kLabelNo}, {ZO_IDCANCEL, kLabelCancel}};
constexpr ButtonSpec kSet4[] = {{ZO_IDYES, kLabelYes}, {ZO_IDNO, kLabelNo}};
constexpr ButtonSpec kSet5[] = {{ZO_IDRETRY, kLabelRetry}, {ZO_IDCANCEL, kLabelCancel}};
constexpr ButtonSpec kSet10[] = {
    {ZO_IDYES, kLabelYes}, {ZO_IDYESTOALL, kLabelYesToAll}, {ZO_IDNO, kLabelNo}, {ZO_IDCANCEL, kLabelCancel}};
constexpr ButtonSpec kSet11[] = {{ZO_IDYES, kLabelYes}, {ZO_IDNO, kLabelNo}, {ZO_IDALWAYS, kLabelAlways}};
constexpr ButtonSpec kSet12[] = {
    {ZO_IDYES, kLabelYes}, {ZO_IDNO, kLabelNo}, {ZO_IDNOTOALL, kLabelNoToAll}, {ZO_IDCANCEL, kLabelCancel}};
constexpr ButtonSpec kSet13[] = {{ZO_IDYES, kLabelYes},
                                 {ZO_IDYESTOALL, kLabelYesToAll},
                                 {ZO_IDNO, kLabelNo},
                                 {ZO_IDNOTOALL, kLabelNoToAll},
                                 {ZO_IDCANCEL, kLabelCancel}};

template <size_t N>
constexpr ButtonSet SetOf(const ButtonSpec (&b)[N]) {
  return ButtonSet{b, static_cast<int>(N)};
}

// The custom box's sets; a set it does not know is OK alone. The standard box
// knows 0-5 only (MessageBoxW draws the rest itself on Windows).
ButtonSet ButtonsOf(uint32_t set, bool custom) {
  switch (set) {
    case 1: return SetOf(kSet1);
    case 2: return SetOf(kSet2);
    case 3: return SetOf(kSet3);
    case 4: return SetOf(kSet4);
    case 5: return SetOf(kSet5);
    case 10: if (custom) return SetOf(kSet10); break;
    case 11: if (custom) return SetOf(kSet11); break;
    case 12: if (custom) return SetOf(kSet12); break;
    case 13: if (custom) return SetOf(kSet13); break;
    default: break;
  }
  return SetOf(kSet0);
}

// The labels of one box, loaded per call (the strings follow the language).
struct Buttons {
  plat::BoxButton buttons[5];
  ZoChar labels[5][kLabelCapacity];
  int count = 0;
};

void LoadButtons(const ButtonSet& set, Buttons* out) {
  out->count = set.count;
  for (int i = 0; i < set.count; ++i) {
    LibraryString(set.buttons[i].label, out->labels[i], kLabelCapacity);
    out->buttons[i].id = set.buttons[i].id;
    out->buttons[i].label = out->labels[i];
  }
}

plat::WindowHandle ResolveOwner(plat::WindowHandle owner) {
  if (owner == ZO_MSGBOX_NO_OWNER) return nullptr;
  if (owner) return owner;
  return gSettings.appWindow ? plat::GetLastActivePopup(gSettings.appWindow) : nullptr;
}

bool OnAppThread() { return gSettings.appThread == plat::CurrentThreadId(); }

int32_t NoUIAnswer(void* hookData, plat::WindowHandle, const ZoChar* text, const ZoChar*, uint32_t flags) {
  if (!OnAppThread()) return 0;
  const auto log = reinterpret_cast<ZoMsgBoxLogFunction>(hookData);
  if (log) log(text ? text : u"");
  const int32_t answer = ZoMsgBox_DefaultAnswer(flags);
  if (answer == -1 && log) log(ZO_MSGBOX_INVALID_TEXT);
  return answer;
}

void CentreBox(plat::WindowHandle box) { ZoWndCenter(box, nullptr, nullptr, kCentreFlags); }

// Expands `format` when it holds a "$" or a "%"; otherwise points at it.
const ZoChar* ExpandFormat(const ZoChar* format, va_list args, ZoChar* buffer) {
  if (!format) return u"";
  for (const ZoChar* p = format; *p; ++p) {
    if (*p == u'$' || *p == u'%') {
      ZoVPrintFEx(buffer, kFormatCapacity, format, args);
      return buffer;
    }
  }
  return format;
}

int32_t Observed(const ZoChar* text, const ZoChar* caption, uint32_t flags, int32_t answer) {
  if (gSettings.observer) gSettings.observer(text ? text : u"", caption, flags, answer);
  return answer;
}

int32_t CustomBox(plat::WindowHandle owner, uint32_t flags, const ZoChar* details, int32_t* checkResult,
                  const ZoChar* text) {
  const bool hasDetails = (flags & ZO_MSGBOX_DETAILS) == ZO_MSGBOX_DETAILS;
  const bool hasCheckBox = (flags & (ZO_MSGBOX_CHECKBOX | ZO_MSGBOX_CHECKBOX_VETO)) == ZO_MSGBOX_CHECKBOX;
  if (hasDetails && !details) return 0;
  owner = ResolveOwner(owner);

  if (gSettings.hook) {
    int32_t answer = -1;
    if (hasDetails) {
      plat::String16 joined(text);
      ZoChar piece[kLabelCapacity];
      LibraryString(kDetailsHeadString, piece, kLabelCapacity);
      joined += piece;
      joined += details;
      LibraryString(kDetailsTailString, piece, kLabelCapacity);
      joined += piece;
      answer = gSettings.hook(gSettings.hookData, owner, joined.c_str(), gSettings.appName, flags);
      if (answer != -1) return Observed(joined.c_str(), gSettings.appName, flags, answer);
    } else {
      answer = gSettings.hook(gSettings.hookData, owner, text, gSettings.appName, flags);
    }
    if (answer != -1) return Observed(text, gSettings.appName, flags, answer);
  }

  const uint32_t set = flags & 0xF;
  const ButtonSet known = ButtonsOf(set, true);
  Buttons buttons;
  LoadButtons(known, &buttons);
  const bool hasCancel = set == 0 || set == 1 || set == 3 || set == 5 || set == 10 || set == 12 || set == 13 ||
                         known.buttons == kSet0;
  const int index = static_cast<int>((flags >> 8) & 0xF);

  ZoChar showLabel[kLabelCapacity], hideLabel[kLabelCapacity], checkLabel[kLabelCapacity];
  ZoChar yesLabel[kLabelCapacity], noLabel[kLabelCapacity];
  LibraryString(kLabelShowDetails, showLabel, kLabelCapacity);
  LibraryString(kLabelHideDetails, hideLabel, kLabelCapacity);
  LibraryString(kLabelCheckBox, checkLabel, kLabelCapacity);
  LibraryString(kLabelYes, yesLabel, kLabelCapacity);
  LibraryString(kLabelNo, noLabel, kLabelCapacity);

  int32_t localCheck = 0;
  plat::CustomBoxRequest request;
  request.owner = owner;
  request.caption = gSettings.appName;
  request.text = text;
  const uint32_t icon = flags & 0xF0;
  request.icon = (icon >= plat::kIconStop && icon <= plat::kIconInformation) ? icon : 0;
  request.buttons = buttons.buttons;
  request.buttonCount = buttons.count;
  request.defaultIndex = index < buttons.count ? index : buttons.count - 1;
  request.cancelResult = hasCancel ? (known.buttons == kSet0 ? ZO_IDOK : ZO_IDCANCEL) : 0;
  request.details = hasDetails ? details : nullptr;
  request.showDetailsLabel = showLabel;
  request.hideDetailsLabel = hideLabel;
  request.checkState = hasCheckBox ? (checkResult ? checkResult : &localCheck) : nullptr;
  request.checkLabel = checkLabel;
  request.yesLabel = yesLabel;
  request.noLabel = noLabel;
  request.centre = CentreBox;
  return Observed(text, gSettings.appName, flags, plat::ShowCustomBox(request));
}

}  // namespace

int ZoMsgBoxSetAppData(plat::ModuleHandle instance, plat::WindowHandle appWindow, const ZoChar* appName) {
  gSettings = Settings{};
  gSettings.appThread = plat::CurrentThreadId();
  gSettings.instance = instance;
  gSettings.appWindow = appWindow;
  plat::CopyTruncated(gSettings.appName, kAppNameCapacity, appName ? appName : u"");
  return 1;
}

int ZoMsgBoxSetHook(ZoMsgBoxHook hook, void* hookData) {
  if (!OnAppThread()) return 0;
  gSettings.hook = hook;
  gSettings.hookData = hookData;
  return 1;
}

int ZoMsgBoxSetNoUIHook(ZoMsgBoxLogFunction log) {
  return ZoMsgBoxSetHook(NoUIAnswer, reinterpret_cast<void*>(log));
}

int ZoMsgBoxSetObserver(ZoMsgBoxObserver observer) {
  if (!OnAppThread()) return 0;
  gSettings.observer = observer;
  return 1;
}

int32_t ZoMsgBox_DefaultAnswer(uint32_t flags) {
  constexpr int32_t X = -1;  // the set has no button at that index
  static constexpr int32_t kTable[16][5] = {
      {1, 1, 1, 1, 1},  {1, 2, X, X, X},   {3, 4, 5, X, X},   {6, 7, 2, X, X},
      {6, 7, X, X, X},  {4, 2, X, X, X},   {1, 1, 1, 1, 1},   {1, 1, 1, 1, 1},
      {1, 1, 1, 1, 1},  {1, 1, 1, 1, 1},   {6, 100, 7, 2, X}, {6, 7, 101, X, X},
      {6, 7, 102, 2, X}, {6, 100, 7, 102, 2}, {1, 1, 1, 1, 1}, {1, 1, 1, 1, 1},
  };
  const uint32_t set = flags & 0xF;
  const uint32_t index = (flags >> 8) & 0xF;
  return index < 5 ? kTable[set][index] : X;
}

int32_t ZoMessageBox(plat::WindowHandle owner, const ZoChar* text, const ZoChar* caption, uint32_t flags) {
  owner = ResolveOwner(owner);
  if (gSettings.hook) {
    const int32_t answer = gSettings.hook(gSettings.hookData, owner, text, caption, flags);
    if (answer != -1) return Observed(text, caption, flags, answer);
  }
  const ZoChar* const passedCaption = caption;
  if (!caption) caption = gSettings.appName;

  const ButtonSet known = ButtonsOf(flags & 0xF, false);
  Buttons buttons;
  LoadButtons(known, &buttons);
  const int index = static_cast<int>((flags >> 8) & 0xF);

  plat::MessageBoxRequest request;
  request.owner = owner;
  request.text = text ? text : u"";
  request.caption = caption;
  request.flags = flags;
  request.buttons = buttons.buttons;
  request.buttonCount = buttons.count;
  request.defaultIndex = index < buttons.count ? index : 0;
  request.centre = flags == kUncentredFlags ? nullptr : CentreBox;
  return Observed(text, passedCaption, flags, plat::ShowMessageBox(request));
}

int32_t ZoMsgBox(plat::WindowHandle owner, uint32_t flags, const ZoChar* format, ...) {
  ZoChar buffer[kFormatCapacity];
  va_list args;
  va_start(args, format);
  const ZoChar* text = ExpandFormat(format, args, buffer);
  va_end(args);
  return ZoMessageBox(owner, text, nullptr, flags);
}

int32_t ZoMsgBoxId(HZOLANG lang, plat::WindowHandle owner, uint32_t flags, uint32_t id, ...) {
  const ZoChar* format = ZoGetString(lang, id);
  ZoChar buffer[kFormatCapacity];
  va_list args;
  va_start(args, id);
  const ZoChar* text = ExpandFormat(format, args, buffer);
  va_end(args);
  return ZoMessageBox(owner, text, nullptr, flags);
}

int32_t ZoMsgBox_Custom(plat::WindowHandle owner, uint32_t flags, const ZoChar* details, const ZoChar* format, ...) {
  ZoChar buffer[kFormatCapacity];
  va_list args;
  va_start(args, format);
  const ZoChar* text = ExpandFormat(format, args, buffer);
  va_end(args);
  return CustomBox(owner, flags, details, nullptr, text);
}

int32_t ZoMsgBox_CustomEx(plat::WindowHandle owner, uint32_t flags, const ZoChar* details, void*,
                          int32_t* checkResult, const ZoChar* format, ...) {
  const bool hasCheckBox = (flags & (ZO_MSGBOX_CHECKBOX | ZO_MSGBOX_CHECKBOX_VETO)) == ZO_MSGBOX_CHECKBOX;
  if (hasCheckBox && !checkResult) return 0;
  ZoChar buffer[kFormatCapacity];
  va_list args;
  va_start(args, format);
  const ZoChar* text = ExpandFormat(format, args, buffer);
  va_end(args);
  return CustomBox(owner, flags, details, checkResult, text);
}

int32_t ZoBeep(uint32_t kind) {
  const ZoChar* name = u"SystemDefault";
  switch (kind) {
    case 1: name = u"SystemExclamation"; break;
    case 2: name = u"SystemAsterisk"; break;
    case 3: name = u"SystemQuestion"; break;
    case 4: name = u"Brimwell_DoneProcessing"; break;
    default: break;
  }
  return plat::PlaySystemSound(name) ? 1 : 0;
}
