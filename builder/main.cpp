// palisade: builds setup executables from project files.
#include <cstdio>
#include <cstring>

#include "format/version.h"

namespace {

void PrintUsage(FILE* out) {
  std::fprintf(out,
               "usage: palisade COMMAND [ARGS]\n"
               "\n"
               "commands:\n"
               "  version    print the engine version this builder writes for\n"
               "  help       show this text\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(stderr);
    return 2;
  }
  if (std::strcmp(argv[1], "version") == 0 || std::strcmp(argv[1], "--version") == 0) {
    std::printf("palisade %s\n", palisade::format::kEngineVersion);
    return 0;
  }
  if (std::strcmp(argv[1], "help") == 0 || std::strcmp(argv[1], "--help") == 0) {
    PrintUsage(stdout);
    return 0;
  }
  std::fprintf(stderr, "palisade: unknown command \"%s\"\n", argv[1]);
  PrintUsage(stderr);
  return 2;
}
