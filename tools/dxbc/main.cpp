// thaw-dxbc: turns SPIR-V from glslang's HLSL front end into shader model 5.0
// DXBC containers, and lists DXBC containers as text.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Disassembler.h"
#include "Translator.h"

namespace {

const char kUsage[] =
    "usage:\n"
    "  thaw-dxbc compile IN.spv -o OUT.dxbc [--source NAME]\n"
    "      Translate one SPIR-V entry point (inlined, as spirv-opt leaves it)\n"
    "      into a shader model 5.0 DXBC container. NAME labels error messages.\n"
    "  thaw-dxbc disasm IN.dxbc\n"
    "      Print the container's chunks, signatures and instructions.\n"
    "  thaw-dxbc --help\n";

bool readFile(const char* path, std::vector<uint8_t>& out) {
  FILE* f = fopen(path, "rb");
  if (!f) return false;
  uint8_t buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  bool ok = !ferror(f);
  fclose(f);
  return ok;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& data) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
  ok = fclose(f) == 0 && ok;
  return ok;
}

int compile(int argc, char** argv) {
  std::string in, out, source;
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "-o" && i + 1 < argc) {
      out = argv[++i];
    } else if (a == "--source" && i + 1 < argc) {
      source = argv[++i];
    } else if (!a.empty() && a[0] == '-') {
      fprintf(stderr, "thaw-dxbc: unknown option '%s'\n%s", a.c_str(), kUsage);
      return 2;
    } else if (in.empty()) {
      in = a;
    } else {
      fprintf(stderr, "thaw-dxbc: more than one input file\n%s", kUsage);
      return 2;
    }
  }
  if (in.empty() || out.empty()) {
    fprintf(stderr, "thaw-dxbc: compile needs an input file and -o OUT\n%s", kUsage);
    return 2;
  }
  if (source.empty()) source = in;
  std::vector<uint8_t> bytes;
  if (!readFile(in.c_str(), bytes)) {
    fprintf(stderr, "thaw-dxbc: cannot read '%s': %s\n", in.c_str(), strerror(errno));
    return 1;
  }
  if (bytes.size() % 4) {
    fprintf(stderr, "thaw-dxbc: %s: '%s' is not a SPIR-V module (size not a multiple of 4)\n",
            source.c_str(), in.c_str());
    return 1;
  }
  std::vector<uint32_t> words(bytes.size() / 4);
  if (!words.empty()) memcpy(words.data(), bytes.data(), bytes.size());
  std::vector<uint8_t> container;
  std::string error;
  if (!dxbc::translateSpirv(words.data(), words.size(), source, container, error)) {
    fprintf(stderr, "thaw-dxbc: error: %s\n", error.c_str());
    remove(out.c_str());
    return 1;
  }
  if (!writeFile(out, container)) {
    fprintf(stderr, "thaw-dxbc: cannot write '%s'\n", out.c_str());
    remove(out.c_str());
    return 1;
  }
  return 0;
}

int disasm(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "thaw-dxbc: disasm takes one file\n%s", kUsage);
    return 2;
  }
  std::vector<uint8_t> bytes;
  if (!readFile(argv[2], bytes)) {
    fprintf(stderr, "thaw-dxbc: cannot read '%s': %s\n", argv[2], strerror(errno));
    return 1;
  }
  std::string text, error;
  if (!dxbc::disassemble(bytes.data(), bytes.size(), text, error)) {
    fprintf(stderr, "thaw-dxbc: %s: %s\n", argv[2], error.c_str());
    return 1;
  }
  fputs(text.c_str(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || !strcmp(argv[1], "--help") || !strcmp(argv[1], "-h")) {
    fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  if (!strcmp(argv[1], "compile")) return compile(argc, argv);
  if (!strcmp(argv[1], "disasm")) return disasm(argc, argv);
  fprintf(stderr, "thaw-dxbc: unknown command '%s'\n%s", argv[1], kUsage);
  return 2;
}
