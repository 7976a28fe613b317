// INTERIM: replaced by the settings module.
#pragma once
#include "platform/types.h"
class PackageSettings {
 public:
  PackageSettings();
  virtual ~PackageSettings() = default;
  ZoResult Load(const ZoChar* path);
  int32_t extractToTemp = 1;
  ZoChar banner[260] = {};
  ZoChar defaultTarget[260] = {};
  ZoChar title[1024] = {};
  ZoChar name[1024] = {};
  ZoChar setupApp[260] = {};
  ZoChar setupAppParams[260] = {};
  ZoChar titleFont[255] = {};
  ZoChar titleFontColor[33] = {};
  uint32_t lcid = 9;
};
uint32_t ParseTitleColor(ZoChar* text);
