// Fuzz target for the installer's command line and response files: both come
// from whoever starts the installer, so every word is untrusted.
//
// Input: UTF-8 text. The first line is the command line; the bytes after the
// first line feed are written as they stand to a response file, whose path
// replaces every "$R" in both parts (so a file can name itself). The whole
// input, read as UTF-16LE units, also goes through the word splitter, which
// must give back any word list quoted by QuoteCommandLine.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/installer_state.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "runtime/zo_kernel.h"
#include "runtime/zo_lang.h"
#include "runtime/zo_msgbox.h"
#include "runtime/zo_printf.h"

namespace {

int32_t AnswerBox(void* data, plat::WindowHandle, const ZoChar* text, const ZoChar*, uint32_t) {
  // Touch the whole text so that an unterminated one shows up under the sanitizer.
  *static_cast<size_t*>(data) += plat::Length(text);
  return ZO_IDOK;
}

size_t gBoxUnits = 0;

const std::string& ResponseFilePath() {
  static std::string path;
  if (path.empty()) {
    ZoChar temp[ZO_MAX_PATH] = {};
    plat::GetTempPath(temp, ZO_MAX_PATH);
    path = plat::ToUtf8(temp) + "orv-fuzz-cmdline-" + std::to_string(std::rand()) + ".rsp";
  }
  return path;
}

void Initialise() {
  static bool done = false;
  if (done) return;
  done = true;
  ZoKernel_Startup(nullptr);
  ZoLang_Open(&g_installer.language, nullptr, 0, 0);
  ZoMsgBoxSetAppData(nullptr, nullptr, u"Orvande Self Extractor");
  ZoPrintF_AddToken(u"AppName.Title", u"Orvande Self Extractor");
  ZoMsgBoxSetHook(AnswerBox, &gBoxUnits);
}

std::string ReplacePath(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '$' && i + 1 < text.size() && text[i + 1] == 'R') {
      out += ResponseFilePath();
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

void CheckSplitter(const uint8_t* data, size_t size) {
  plat::String16 units;
  for (size_t i = 0; i + 1 < size; i += 2) {
    const auto unit = static_cast<ZoChar>(data[i] | (data[i + 1] << 8));
    if (unit == 0) break;
    units += unit;
  }
  std::vector<plat::String16> words;
  if (!SplitWordsToList(units.c_str(), &words)) return;
  if (words.size() > units.size()) std::abort();
  std::vector<plat::String16> again;
  if (!SplitWordsToList(plat::QuoteCommandLine(words).c_str(), &again)) return;
  if (again != words) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Initialise();
  CheckSplitter(data, size);

  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t newline = input.find('\n');
  const std::string line = ReplacePath(input.substr(0, newline));
  const std::string file = newline == std::string_view::npos ? std::string() : ReplacePath(input.substr(newline + 1));
  const plat::String16 path = plat::FromUtf8(ResponseFilePath());
  {
    plat::File f = plat::File::Open(path.c_str(), plat::Access::Write, plat::kShareNone, plat::Disposition::CreateAlways);
    if (!f || (!file.empty() && !f.Write(file.data(), file.size())) || !f.Close()) return 0;
  }

  const HZOLANG language = g_installer.language;
  for (bool skipFirst : {true, false}) {
    ResetInstallerState();
    g_installer.language = language;
    ParseCommandLine(plat::FromUtf8(line).c_str(), skipFirst);
    // The target folder is always terminated within its buffer.
    if (plat::BoundedLength(g_installer.targetFolder, ZO_MAX_PATH) >= ZO_MAX_PATH) std::abort();
  }
  plat::DeleteFile(path.c_str());
  return 0;
}
