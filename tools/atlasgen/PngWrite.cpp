#include "PngWrite.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>

namespace {

void putU32(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v >> 24));
  out.push_back(uint8_t(v >> 16));
  out.push_back(uint8_t(v >> 8));
  out.push_back(uint8_t(v));
}

void putChunk(std::vector<uint8_t>& out, const char type[4], const uint8_t* data, size_t size) {
  putU32(out, uint32_t(size));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  if (size) out.insert(out.end(), data, data + size);
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, &out[start], uInt(out.size() - start));
  putU32(out, uint32_t(crc));
}

uint8_t paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return uint8_t(a);
  if (pb <= pc) return uint8_t(b);
  return uint8_t(c);
}

// Applies filter `type` (0..4) to one row; `previous` is null for the first row.
void filterRow(int type, const uint8_t* row, const uint8_t* previous, size_t length, uint8_t* out) {
  constexpr size_t bpp = 4;
  for (size_t i = 0; i < length; ++i) {
    const int a = i >= bpp ? row[i - bpp] : 0;
    const int b = previous ? previous[i] : 0;
    const int c = (previous && i >= bpp) ? previous[i - bpp] : 0;
    int predicted = 0;
    switch (type) {
      case 1: predicted = a; break;
      case 2: predicted = b; break;
      case 3: predicted = (a + b) / 2; break;
      case 4: predicted = paeth(a, b, c); break;
      default: break;
    }
    out[i] = uint8_t(row[i] - predicted);
  }
}

// The filtered image: every row prefixed by its filter type.
std::vector<uint8_t> filterImage(const uint8_t* rgba, uint32_t width, uint32_t height) {
  const size_t length = size_t(width) * 4;
  std::vector<uint8_t> filtered((length + 1) * height);
  std::vector<uint8_t> candidate(length);
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = rgba + y * length;
    const uint8_t* previous = y ? row - length : nullptr;
    uint8_t* out = &filtered[y * (length + 1)];
    uint64_t bestCost = UINT64_MAX;
    for (int type = 0; type < 5; ++type) {
      filterRow(type, row, previous, length, candidate.data());
      uint64_t cost = 0;
      for (size_t i = 0; i < length; ++i) cost += uint64_t(std::abs(int(int8_t(candidate[i]))));
      if (cost < bestCost) {
        bestCost = cost;
        out[0] = uint8_t(type);
        std::memcpy(out + 1, candidate.data(), length);
      }
    }
  }
  return filtered;
}

bool deflateWith(const std::vector<uint8_t>& data, int strategy, std::vector<uint8_t>& out) {
  z_stream stream;
  std::memset(&stream, 0, sizeof stream);
  if (deflateInit2(&stream, 9, Z_DEFLATED, 15, 9, strategy) != Z_OK) return false;
  out.resize(deflateBound(&stream, uLong(data.size())));
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = uInt(data.size());
  stream.next_out = out.data();
  stream.avail_out = uInt(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return result == Z_STREAM_END;
}

}  // namespace

bool encodePngRgba(const uint8_t* rgba, uint32_t width, uint32_t height, std::vector<uint8_t>& png) {
  if (width == 0 || height == 0 || width > (1u << 20) || height > (1u << 20)) return false;
  const std::vector<uint8_t> filtered = filterImage(rgba, width, height);
  std::vector<uint8_t> best, candidate;
  for (int strategy : {Z_DEFAULT_STRATEGY, Z_FILTERED}) {
    if (!deflateWith(filtered, strategy, candidate)) return false;
    if (best.empty() || candidate.size() < best.size()) best.swap(candidate);
  }

  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  png.assign(kSignature, kSignature + 8);
  std::vector<uint8_t> header;
  putU32(header, width);
  putU32(header, height);
  header.push_back(8);  // bit depth
  header.push_back(6);  // colour type: RGBA
  header.push_back(0);  // deflate
  header.push_back(0);  // adaptive filtering
  header.push_back(0);  // no interlace
  putChunk(png, "IHDR", header.data(), header.size());
  putChunk(png, "IDAT", best.data(), best.size());
  putChunk(png, "IEND", nullptr, 0);
  return true;
}
