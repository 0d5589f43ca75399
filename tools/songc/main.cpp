// songc: builds the show's XM module from an instrument file and a score.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "SongCompiler.h"

namespace {

void printHelp(FILE* to) {
  std::fputs(
      "usage: songc -i <instruments.txt> -s <score.txt> -o <module.xm>\n"
      "\n"
      "Synthesises every instrument of the instrument file into one 8-bit\n"
      "sample, packs the score's patterns and writes an Extended Module\n"
      "(XM 1.04). The output depends only on the two input files.\n"
      "\n"
      "  -i, --instruments FILE  instrument blocks: synthesis layers, envelopes\n"
      "  -s, --score FILE        song settings, order list and patterns\n"
      "  -o, --output FILE       the module to write\n"
      "  -h, --help              this text\n",
      to);
}

}  // namespace

int main(int argc, char** argv) {
  std::string instruments, score, output;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      printHelp(stdout);
      return 0;
    }
    std::string* target = arg == "-i" || arg == "--instruments" ? &instruments
                          : arg == "-s" || arg == "--score"     ? &score
                          : arg == "-o" || arg == "--output"    ? &output
                                                                : nullptr;
    if (!target) {
      std::fprintf(stderr, "songc: unknown argument '%s' (see --help)\n", arg.c_str());
      return 2;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "songc: %s needs a file name\n", arg.c_str());
      return 2;
    }
    *target = argv[++i];
  }
  if (instruments.empty() || score.empty() || output.empty()) {
    std::fprintf(stderr, "songc: give -i, -s and -o (see --help)\n");
    return 2;
  }

  std::vector<uint8_t> module;
  std::string error;
  if (!compileSong(instruments, score, module, error)) {
    std::fprintf(stderr, "songc: %s\n", error.c_str());
    return 1;
  }
  FILE* f = std::fopen(output.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "songc: %s: cannot open for writing\n", output.c_str());
    return 1;
  }
  bool ok = std::fwrite(module.data(), 1, module.size(), f) == module.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    std::fprintf(stderr, "songc: %s: write failed\n", output.c_str());
    std::remove(output.c_str());
    return 1;
  }
  return 0;
}
