// thaw-glsl: converts one optimised SPIR-V module to GLSL ES 3.00 text for
// the OpenGL ES back end.
#include <cstdio>
#include <cstring>
#include <vector>

#include "GlslConvert.h"

namespace {

const char* const kUsage = "usage: thaw-glsl IN.spv -o OUT.glsl\n";

bool readWords(const char* path, std::vector<uint32_t>& words) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    std::vector<unsigned char> bytes;
    unsigned char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    const bool readOk = !std::ferror(file);
    std::fclose(file);
    if (!readOk || bytes.size() % 4 != 0) return false;
    words.resize(bytes.size() / 4);
    if (!bytes.empty()) std::memcpy(words.data(), bytes.data(), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const char* in = nullptr;
    const char* out = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc) {
            out = argv[++i];
        } else if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (!in && argv[i][0] != '-') {
            in = argv[i];
        } else {
            std::fprintf(stderr, "thaw-glsl: unexpected argument '%s'\n", argv[i]);
            return 2;
        }
    }
    if (!in || !out) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::vector<uint32_t> words;
    if (!readWords(in, words)) {
        std::fprintf(stderr, "thaw-glsl: cannot read %s as SPIR-V words\n", in);
        return 1;
    }
    const GlslConversion c = convertToGlslEs(words);
    if (!c.ok) {
        std::fprintf(stderr, "thaw-glsl: %s: %s\n", in, c.error.c_str());
        return 1;
    }
    FILE* file = std::fopen(out, "wb");
    const bool written = file && std::fwrite(c.text.data(), 1, c.text.size(), file) == c.text.size();
    if (file && std::fclose(file) != 0) file = nullptr;
    if (!written || !file) {
        std::fprintf(stderr, "thaw-glsl: cannot write %s\n", out);
        return 1;
    }
    return 0;
}
