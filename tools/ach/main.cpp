// ach: the command-line archive and package tool.
#include <cstdio>
#include <cstring>

namespace {

const char kUsage[] =
    "usage: ach COMMAND [OPTIONS] ARCHIVE [ARGS...]\n"
    "\n"
    "Commands:\n"
    "  list [--json] ARCHIVE          show the entries of an archive\n"
    "  extract ARCHIVE [-o DIR] ...   unpack entries\n"
    "  test ARCHIVE [PATTERN...]      verify entries completely\n"
    "  --help                         show this text\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(kUsage, stdout);
    return argc < 2 ? 2 : 0;
  }
  std::fprintf(stderr, "ach: unknown command '%s' (try ach --help)\n", argv[1]);
  return 2;
}
