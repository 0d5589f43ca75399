// libFuzzer target: any bytes through what `thaw-dxbc disasm` does with a
// file: the container reader, the checksum, the signature and program
// decoders and the listing. Besides the sanitizers' checks it traps when a
// refusal comes without a reason, when the chunks read out of a container
// hold more bytes than the container itself, and when a container that lists
// cleanly does not survive being written out again from its chunks: the copy
// must carry a valid checksum and list exactly as the original (bar that
// line).
#include <cstdint>
#include <string>
#include <vector>

#include "Disassembler.h"
#include "DxbcContainer.h"

namespace {

std::string withoutFirstLine(const std::string& text) {
    size_t end = text.find('\n');
    return end == std::string::npos ? std::string() : text.substr(end + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text, error;
    if (!dxbc::disassemble(data, size, text, error)) {
        if (error.empty()) __builtin_trap();
        return 0;
    }

    std::vector<dxbc::Chunk> chunks;
    if (!dxbc::readContainer(data, size, chunks, error)) __builtin_trap();
    uint64_t held = 32;
    for (const dxbc::Chunk& chunk : chunks) held += 4 + 8 + chunk.data.size();
    if (held > size) __builtin_trap();
    // The writer pads chunks to whole words; the program chunk already is one
    // (or the listing would have failed) and signatures end at their names.
    std::vector<uint8_t> copy = dxbc::writeContainer(chunks);
    std::string copyText;
    if (!dxbc::disassemble(copy.data(), copy.size(), copyText, error)) __builtin_trap();
    if (copyText.compare(0, 18, "// checksum valid\n") != 0) __builtin_trap();
    if (withoutFirstLine(copyText) != withoutFirstLine(text)) __builtin_trap();
    return 0;
}
