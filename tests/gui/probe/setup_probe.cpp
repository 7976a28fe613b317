// The setup program of the wizard runs under Wine: the package carries it, the
// installer starts it after the extraction, and it records how it was started.
//
// The record goes to the file named by the environment variable
// ORV_SETUP_RECORD, one "key=value" line each, UTF-8:
//   cmdline=   the whole command line as the process received it
//   arg=       each argument after the program's own name, one line each
//   cwd=       the current folder
//   module=    the program's own file
//   temp=      each installer temp folder (ZoInstall_*) that exists right now
//              in the system temp folder and still holds the package settings
// Exit code 0, or the number in ORV_SETUP_EXIT when it is set (so that a run
// can check the code it passes on); 3 when the record cannot be written. A GUI
// program, so that starting it opens no console window.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/directory.h"
#include "platform/paths.h"
#include "platform/resources.h"
#include "platform/terminal.h"
#include "platform/text.h"

namespace {

std::string Line(const char* key, const plat::String16& value) { return std::string(key) + "=" + plat::ToUtf8(value) + "\n"; }

plat::String16 Text(const ZoChar* buffer, uint32_t length, uint32_t capacity) {
  return length > 0 && length < capacity ? plat::String16(buffer, length) : plat::String16();
}

}  // namespace

int main(int argc, char** argv) {
  const char* recordPath = std::getenv("ORV_SETUP_RECORD");
  if (!recordPath || !*recordPath) return 3;
  std::string record = Line("cmdline", plat::GetProcessCommandLine(argc, argv));
  const std::vector<plat::String16> arguments = plat::GetCommandLineArguments(argc, argv);
  for (size_t i = 1; i < arguments.size(); ++i) record += Line("arg", arguments[i]);

  ZoChar buffer[ZO_MAX_PATH];
  record += Line("cwd", Text(buffer, plat::GetCurrentDirectory(buffer, ZO_MAX_PATH), ZO_MAX_PATH));
  record += Line("module", Text(buffer, plat::GetModuleFileName(plat::ExecutableModule(), buffer, ZO_MAX_PATH), ZO_MAX_PATH));

  const plat::String16 temp = Text(buffer, plat::GetTempPath(buffer, ZO_MAX_PATH), ZO_MAX_PATH);
  plat::DirectoryLister lister;
  plat::DirectoryEntry entry;
  if (!temp.empty() && lister.Open(temp.c_str(), u"ZoInstall_*")) {
    while (lister.Next(&entry)) {
      const plat::String16 settings = temp + entry.name + u"\\sfxinst.ini";
      if (plat::Exists(settings.c_str())) record += Line("temp", entry.name);
    }
  }

  std::FILE* file = std::fopen(recordPath, "wb");
  if (!file) return 3;
  const bool written = std::fwrite(record.data(), 1, record.size(), file) == record.size();
  if (std::fclose(file) != 0 || !written) return 3;
  const char* exitCode = std::getenv("ORV_SETUP_EXIT");
  return exitCode && *exitCode ? static_cast<int>(std::strtol(exitCode, nullptr, 10)) : 0;
}
