#include "DxbcContainer.h"

#include <cstring>

namespace dxbc {
namespace {

uint32_t rotl(uint32_t x, int c) { return (x << c) | (x >> (32 - c)); }

const uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
    0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
    0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
    0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
    0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
    0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
    0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
    0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
    0xeb86d391};
const int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                        5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                        4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                        6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

void transform(uint32_t state[4], const uint8_t block[64]) {
  uint32_t m[16];
  for (int i = 0; i < 16; ++i)
    m[i] = uint32_t(block[i * 4]) | uint32_t(block[i * 4 + 1]) << 8 |
           uint32_t(block[i * 4 + 2]) << 16 | uint32_t(block[i * 4 + 3]) << 24;
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  for (int i = 0; i < 64; ++i) {
    uint32_t f;
    int g;
    if (i < 16) {
      f = (b & c) | (~b & d);
      g = i;
    } else if (i < 32) {
      f = (d & b) | (~d & c);
      g = (5 * i + 1) % 16;
    } else if (i < 48) {
      f = b ^ c ^ d;
      g = (3 * i + 5) % 16;
    } else {
      f = c ^ (b | ~d);
      g = (7 * i) % 16;
    }
    uint32_t next = b + rotl(a + f + kSine[i] + m[g], kShift[i]);
    a = d;
    d = c;
    c = b;
    b = next;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

void put32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}
uint32_t get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

std::string fourCCText(uint32_t fourcc) {
  std::string s;
  for (int i = 0; i < 4; ++i) {
    char c = char((fourcc >> (8 * i)) & 0xff);
    s += (c >= 32 && c < 127) ? c : '?';
  }
  return s;
}

void containerChecksum(const uint8_t* container, size_t size, uint32_t out[4]) {
  uint32_t state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  const uint8_t* data = container + 20;
  size_t n = size > 20 ? size - 20 : 0;
  size_t whole = n / 64 * 64;
  for (size_t i = 0; i < whole; i += 64) transform(state, data + i);
  size_t r = n - whole;
  uint32_t bits = uint32_t(n * 8);
  uint32_t bits2 = (bits >> 2) | 1;
  uint8_t block[64];
  if (r >= 56) {
    memset(block, 0, 64);
    memcpy(block, data + whole, r);
    block[r] = 0x80;
    transform(state, block);
    memset(block, 0, 64);
    put32(block, bits);
    put32(block + 60, bits2);
    transform(state, block);
  } else {
    memset(block, 0, 64);
    put32(block, bits);
    memcpy(block + 4, data + whole, r);
    block[4 + r] = 0x80;
    put32(block + 60, bits2);
    transform(state, block);
  }
  for (int i = 0; i < 4; ++i) out[i] = state[i];
}

std::vector<uint8_t> writeContainer(const std::vector<Chunk>& chunks) {
  size_t header = 32 + 4 * chunks.size();
  size_t total = header;
  for (const Chunk& c : chunks) total += 8 + (c.data.size() + 3) / 4 * 4;
  std::vector<uint8_t> out(total, 0);
  put32(&out[0], fourCC('D', 'X', 'B', 'C'));
  put32(&out[20], 1);
  put32(&out[24], uint32_t(total));
  put32(&out[28], uint32_t(chunks.size()));
  size_t at = header;
  for (size_t i = 0; i < chunks.size(); ++i) {
    put32(&out[32 + 4 * i], uint32_t(at));
    const Chunk& c = chunks[i];
    size_t padded = (c.data.size() + 3) / 4 * 4;
    put32(&out[at], c.fourcc);
    put32(&out[at + 4], uint32_t(padded));
    if (!c.data.empty()) memcpy(&out[at + 8], c.data.data(), c.data.size());
    at += 8 + padded;
  }
  uint32_t sum[4];
  containerChecksum(out.data(), out.size(), sum);
  for (int i = 0; i < 4; ++i) put32(&out[4 + 4 * i], sum[i]);
  return out;
}

bool readContainer(const uint8_t* bytes, size_t size, std::vector<Chunk>& chunks,
                   std::string& error) {
  chunks.clear();
  if (size < 32 || get32(bytes) != fourCC('D', 'X', 'B', 'C')) {
    error = "not a DXBC container (missing 'DXBC' header)";
    return false;
  }
  uint32_t total = get32(bytes + 24);
  uint32_t count = get32(bytes + 28);
  if (total != size) {
    error = "container size field " + std::to_string(total) + " does not match the " +
            std::to_string(size) + " bytes given";
    return false;
  }
  if (count > (size - 32) / 4) {
    error = "chunk count " + std::to_string(count) + " exceeds the container";
    return false;
  }
  // Chunks are copied out, so they must not share bytes: offsets that all
  // point at one large chunk would otherwise turn a small file into
  // gigabytes of copies.
  uint64_t claimed = 32 + 4 * uint64_t(count);
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t at = get32(bytes + 32 + 4 * i);
    if (at > size || size - at < 8) {
      error = "chunk " + std::to_string(i) + " starts outside the container";
      return false;
    }
    uint32_t len = get32(bytes + at + 4);
    if (len > size - at - 8) {
      error = "chunk " + std::to_string(i) + " (" + fourCCText(get32(bytes + at)) +
              ") runs past the end of the container";
      return false;
    }
    claimed += 8 + uint64_t(len);
    if (claimed > size) {
      error = "chunk " + std::to_string(i) + " (" + fourCCText(get32(bytes + at)) +
              ") overlaps other chunks: they claim more bytes than the container holds";
      return false;
    }
    Chunk c;
    c.fourcc = get32(bytes + at);
    c.data.assign(bytes + at + 8, bytes + at + 8 + len);
    chunks.push_back(std::move(c));
  }
  return true;
}

}  // namespace dxbc
