// For the installer's tests: the library started, the application's language
// handle open on the test program (which carries the installer's string tables),
// and every message box captured instead of shown.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/installer_state.h"
#include "platform/text.h"
#include "runtime/zo_kernel.h"
#include "runtime/zo_lang.h"
#include "runtime/zo_msgbox.h"

namespace testing_support {

struct CapturedBox {
  std::string text;
  std::string caption;  // "" for the default caption
  uint32_t flags = 0;
};

class InstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetInstallerState();
    ASSERT_TRUE(ZoKernel_Startup(nullptr));
    ZoMsgBoxSetAppData(nullptr, ZO_MSGBOX_NO_OWNER, u"Orvande Self Extractor");
    ZoMsgBoxSetHook(&InstallerTest::Capture, this);
    ASSERT_EQ(ZoLang_Open(&g_installer.language, nullptr, 0, 0), 0);
  }
  void TearDown() override {
    ZoMsgBoxSetHook(nullptr, nullptr);
    ZoLang_Close(g_installer.language);
    ZoKernel_Shutdown(nullptr);
    ResetInstallerState();
  }

  std::vector<CapturedBox> boxes_;

 private:
  static int32_t Capture(void* self, plat::WindowHandle, const ZoChar* text, const ZoChar* caption, uint32_t flags) {
    static_cast<InstallerTest*>(self)->boxes_.push_back(
        {plat::ToUtf8(text ? text : u""), plat::ToUtf8(caption ? caption : u""), flags});
    return ZO_IDOK;
  }
};

}  // namespace testing_support
