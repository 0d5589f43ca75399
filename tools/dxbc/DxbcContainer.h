#pragma once
// DXBC container: "DXBC", a 16-byte checksum, version 1, total size, chunk
// count, chunk offsets, then chunks of (fourcc, byte size, data).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dxbc {

struct Chunk {
  uint32_t fourcc = 0;
  std::vector<uint8_t> data;
};

constexpr uint32_t fourCC(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
         uint32_t(uint8_t(d)) << 24;
}
std::string fourCCText(uint32_t fourcc);

// The container checksum over bytes [20, size) of a container: MD5's block
// transform with the container format's own final padding.
void containerChecksum(const uint8_t* container, size_t size, uint32_t out[4]);

// Serialises chunks into a container with its checksum filled in.
std::vector<uint8_t> writeContainer(const std::vector<Chunk>& chunks);

// Splits a container into chunks; false (with a message) if it is malformed.
bool readContainer(const uint8_t* bytes, size_t size, std::vector<Chunk>& chunks,
                   std::string& error);

}  // namespace dxbc
