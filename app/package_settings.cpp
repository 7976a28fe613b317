// The package settings object: built-in defaults, and the section "Quilletage"
// read and written through the platform's private-profile functions.
#include "app/package_settings.h"

#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "runtime/zo_number.h"
#include "runtime/zo_printf.h"

namespace {

constexpr ZoChar kSection[] = u"Quilletage";

constexpr ZoChar kDefaultSetupApp[] = u"msisetup.exe";
constexpr ZoChar kDefaultTitleFont[] = u"MS Sans Serif";
constexpr ZoChar kDefaultTitleFontColor[] = u"0,0,0";
constexpr uint32_t kDefaultLcid = 9;
constexpr int32_t kDefaultExtractToTemp = 1;

void ReadText(const ZoChar* path, const ZoChar* key, const ZoChar* fallback, ZoChar* out, uint32_t capacity) {
  plat::GetPrivateProfileText(kSection, key, fallback, out, capacity, path);
}

// A field as terminated text, even when a caller filled it to the last unit.
bool WriteField(const ZoChar* path, const ZoChar* key, const ZoChar* field, size_t capacity) {
  const plat::String16 value(field, plat::BoundedLength(field, capacity));
  return plat::WritePrivateProfileText(kSection, key, value.c_str(), path);
}

const ZoChar* DefaultTarget() { return BuiltInDefaultTarget(plat::kSeparator); }

}  // namespace

// Not "\"$(ProgramFiles)Brimwell\\$(AppName)\"", which cannot work: the quotes
// would become part of the folder name, and "$(ProgramFiles)" carries no final
// separator, so the folder would be "...Program FilesBrimwell". The default is
// the folder of string 204 ("C:\Program Files\Orvande Setup\$(AppName)") under
// the real program files token, with the separator of the system the package
// installs on.
const ZoChar* BuiltInDefaultTarget(ZoChar separator) {
  return separator == u'\\' ? u"$(ProgramFiles)\\Orvande Setup\\$(AppName)"
                             : u"$(ProgramFiles)/Orvande Setup/$(AppName)";
}

PackageSettings::PackageSettings()
    : extractToTemp(kDefaultExtractToTemp),
      banner(),
      defaultTarget(),
      title(),
      name(),
      setupApp(),
      setupAppParams(),
      titleFont(),
      titleFontColor(),
      lcid(kDefaultLcid) {
  plat::CopyTruncated(defaultTarget, kSettingsDefaultTargetCapacity, DefaultTarget());
  plat::CopyTruncated(setupApp, kSettingsSetupAppCapacity, kDefaultSetupApp);
  plat::CopyTruncated(titleFont, kSettingsTitleFontCapacity, kDefaultTitleFont);
  plat::CopyTruncated(titleFontColor, kSettingsTitleFontColorField, kDefaultTitleFontColor);
}

PackageSettings::~PackageSettings() = default;

ZoResult PackageSettings::Load(const ZoChar* path) {
  if (!path) return E_INVALIDARG;
  ReadText(path, u"Banner", u"", banner, kSettingsBannerCapacity);
  ReadText(path, u"DefaultTarget", DefaultTarget(), defaultTarget, kSettingsDefaultTargetCapacity);
  ReadText(path, u"Name", u"", name, kSettingsNameCapacity);
  ReadText(path, u"SetupApp", kDefaultSetupApp, setupApp, kSettingsSetupAppCapacity);
  ReadText(path, u"SetupAppParams", u"", setupAppParams, kSettingsSetupAppParamsCapacity);
  ReadText(path, u"Title", u"", title, kSettingsTitleCapacity);
  ReadText(path, u"TitleFont", kDefaultTitleFont, titleFont, kSettingsTitleFontCapacity);
  ReadText(path, u"TitleFontColor", kDefaultTitleFontColor, titleFontColor, kSettingsTitleFontColorCapacity);
  lcid = static_cast<uint32_t>(
      plat::GetPrivateProfileInteger(kSection, u"LCID", static_cast<int32_t>(kDefaultLcid), path));
  extractToTemp = plat::GetPrivateProfileInteger(kSection, u"ExtractToTemp", kDefaultExtractToTemp, path);
  return 0;
}

ZoResult PackageSettings::Save(const ZoChar* path) {
  if (!path) return E_FAIL;
  ZoChar lcidText[ZO_NUMBER_TEXT_CAPACITY] = {};
  ZoDWordToText(lcid, lcidText, false);
  ZoChar extractText[ZO_NUMBER_TEXT_CAPACITY] = {};
  ZoPrintFEx(extractText, ZO_NUMBER_TEXT_CAPACITY, u"%d", extractToTemp);
  const bool written = WriteField(path, u"Banner", banner, kSettingsBannerCapacity) &&
                       WriteField(path, u"DefaultTarget", defaultTarget, kSettingsDefaultTargetCapacity) &&
                       WriteField(path, u"Name", name, kSettingsNameCapacity) &&
                       WriteField(path, u"SetupApp", setupApp, kSettingsSetupAppCapacity) &&
                       WriteField(path, u"SetupAppParams", setupAppParams, kSettingsSetupAppParamsCapacity) &&
                       WriteField(path, u"Title", title, kSettingsTitleCapacity) &&
                       WriteField(path, u"TitleFont", titleFont, kSettingsTitleFontCapacity) &&
                       WriteField(path, u"TitleFontColor", titleFontColor, kSettingsTitleFontColorField) &&
                       plat::WritePrivateProfileText(kSection, u"LCID", lcidText, path) &&
                       plat::WritePrivateProfileText(kSection, u"ExtractToTemp", extractText, path);
  return written ? 0 : E_FAIL;
}

uint32_t ParseTitleColor(ZoChar* text) {
  if (!text) return 0;
  ZoChar* first = text;
  while (*first && *first != u',') ++first;
  if (*first == 0 || first[1] == 0) return 0;
  ZoChar* second = first + 1;
  while (*second && *second != u',') ++second;
  if (*second == 0 || second[1] == 0) return 0;
  *first = 0;
  *second = 0;
  const uint32_t red = static_cast<uint32_t>(ZoTextToLongToken(text, nullptr)) & 0xFF;
  const uint32_t green = static_cast<uint32_t>(ZoTextToLongToken(first + 1, nullptr)) & 0xFF;
  const uint32_t blue = static_cast<uint32_t>(ZoTextToLongToken(second + 1, nullptr)) & 0xFF;
  *first = u',';
  *second = u',';
  return red | (green << 8) | (blue << 16);
}
