// INTERIM: replaced by the settings module.
#include "app/package_settings.h"
#include "platform/profile.h"
#include "platform/text.h"
PackageSettings::PackageSettings() {
  plat::CopyTruncated(setupApp, 260, u"msisetup.exe");
  plat::CopyTruncated(titleFont, 255, u"MS Sans Serif");
  plat::CopyTruncated(titleFontColor, 33, u"0,0,0");
}
ZoResult PackageSettings::Load(const ZoChar* path) {
  plat::SetUserProfileFile(path);
  const ZoChar* s = u"Quilletage";
  ZoChar copy[260];
  plat::GetUserProfileString(s, u"Banner", banner, copy, 260); plat::CopyTruncated(banner, 260, copy);
  plat::GetUserProfileString(s, u"DefaultTarget", defaultTarget, copy, 260); plat::CopyTruncated(defaultTarget, 260, copy);
  plat::GetUserProfileString(s, u"Name", name, name, 1024);
  plat::GetUserProfileString(s, u"Title", title, title, 1024);
  plat::GetUserProfileString(s, u"SetupApp", u"msisetup.exe", setupApp, 260);
  plat::GetUserProfileString(s, u"SetupAppParams", u"", setupAppParams, 260);
  lcid = static_cast<uint32_t>(plat::GetUserProfileInt(s, u"LCID", 9));
  extractToTemp = plat::GetUserProfileInt(s, u"ExtractToTemp", 1);
  plat::SetUserProfileFile(nullptr);
  return 0;
}
uint32_t ParseTitleColor(ZoChar*) { return 0; }
