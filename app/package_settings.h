// The package settings: the "Quilletage" section of "sfxinst.ini", which every
// package carries in its control archive and which says how the installer
// presents itself and what it launches. The installer loads it; ach writes it
// when it builds a package.
//
// Text fields are fixed buffers of the capacities below (UTF-16 units, the
// terminator included); a value that does not fit is cut to capacity - 1 units.
// DefaultTarget and SetupAppParams are format strings of the token formatter
// (tokens such as "$(ProgramFiles)"; "%%" and "$$" for a literal % and $); the
// other texts are used as they stand.
#pragma once
#include <cstdint>

#include "platform/types.h"

inline constexpr int kSettingsBannerCapacity = 260;
inline constexpr int kSettingsDefaultTargetCapacity = 260;
inline constexpr int kSettingsTitleCapacity = 1024;
inline constexpr int kSettingsNameCapacity = 1024;
inline constexpr int kSettingsSetupAppCapacity = 260;
inline constexpr int kSettingsSetupAppParamsCapacity = 260;
inline constexpr int kSettingsTitleFontCapacity = 255;
inline constexpr int kSettingsTitleFontColorField = 33;
inline constexpr int kSettingsTitleFontColorCapacity = 32;  // what a file may fill of the field

class PackageSettings {
 public:
  // Every field at its built-in default.
  PackageSettings();
  virtual ~PackageSettings();

  // Reads every key of the section from the INI file `path`; a missing file,
  // section or key gives the built-in default. Always 0 (E_INVALIDARG for null).
  ZoResult Load(const ZoChar* path);
  // Writes every field into the section of `path` (created when missing; other
  // lines and sections are kept). 0, or E_FAIL at the first write that fails.
  ZoResult Save(const ZoChar* path);

  int32_t extractToTemp;                                   // non-zero: no destination page
  ZoChar banner[kSettingsBannerCapacity];                  // PNG file name in the control archive
  ZoChar defaultTarget[kSettingsDefaultTargetCapacity];    // proposed target folder (token-expanded)
  ZoChar title[kSettingsTitleCapacity];                    // the token "AppName.Title"
  ZoChar name[kSettingsNameCapacity];                      // the token "AppName"
  ZoChar setupApp[kSettingsSetupAppCapacity];              // setup program inside the target folder
  ZoChar setupAppParams[kSettingsSetupAppParamsCapacity];  // its parameters (token-expanded); empty: the built-in ones
  ZoChar titleFont[kSettingsTitleFontCapacity];            // face of the page titles
  ZoChar titleFontColor[kSettingsTitleFontColorField];     // "R,G,B" in decimal
  uint32_t lcid;                                           // language for ZoLang_UpdateKernelLCID
};

// The built-in DefaultTarget with `separator` between its parts:
// "$(ProgramFiles)\Orvande Setup\$(AppName)" or the same with '/'. A
// PackageSettings object starts with the form of the system it runs on; a tool
// that builds a package for another system takes that system's form.
const ZoChar* BuiltInDefaultTarget(ZoChar separator);

// The colour of "R,G,B" as 0x00BBGGRR (the low 8 bits of each number); 0 (black)
// unless the text holds two commas each followed by more text. The text is split
// in place for the conversion and left as it was.
//   "255,0,0" => 0x000000FF     "1,2,3" => 0x00030201     "255" => 0     "1,2," => 0
uint32_t ParseTitleColor(ZoChar* text);
