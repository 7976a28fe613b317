// The program the process and setup-launch tests start: it records how it was
// started and ends with an exit code that says how many arguments it got.
//
// The record goes to the file named by the environment variable
// ORV_ARGS_PROBE_RECORD: the current folder, then every argument after the
// program's own name, each followed by a zero byte. Exit code: 40 plus the number
// of arguments; 3 when the record cannot be written.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  const char* recordPath = std::getenv("ORV_ARGS_PROBE_RECORD");
  if (!recordPath || !*recordPath) return 3;
  std::error_code error;
  const std::string cwd = std::filesystem::current_path(error).string();
  std::FILE* record = std::fopen(recordPath, "wb");
  if (!record) return 3;
  std::fwrite(cwd.c_str(), 1, cwd.size() + 1, record);
  for (int i = 1; i < argc; ++i) std::fwrite(argv[i], 1, std::char_traits<char>::length(argv[i]) + 1, record);
  if (std::fclose(record) != 0) return 3;
  return 40 + argc - 1;
}
