#include <gtest/gtest.h>

#include <cstring>

#include "DxbcContainer.h"
#include "TestFiles.h"

namespace {

// Containers written by D3DCompile; the names with "terms" have sizes that
// exercise every way the checksum's last block can fall (see the generator).
const char* kVectors[] = {
    "wine_ps_constant.dxbc", "wine_ps_uv.dxbc",     "wine_vs_passthrough.dxbc",
    "wine_ps_cbuffer.dxbc",  "wine_ps_terms1.dxbc", "wine_ps_terms2.dxbc",
    "wine_ps_terms3.dxbc",   "wine_ps_terms4.dxbc", "wine_ps_terms5.dxbc",
    "wine_ps_terms6.dxbc",   "wine_ps_terms7.dxbc", "wine_ps_terms8.dxbc",
};

std::vector<uint8_t> vector(const char* name) {
  return readTestFile(std::string(THAW_DXBC_VECTORS) + "/" + name);
}

TEST(ContainerChecksum, MatchesReferenceContainers) {
  bool sawTwoBlockEnding = false, sawEmptyTail = false;
  for (const char* name : kVectors) {
    std::vector<uint8_t> bytes = vector(name);
    ASSERT_GT(bytes.size(), 32u) << name;
    uint32_t sum[4];
    dxbc::containerChecksum(bytes.data(), bytes.size(), sum);
    EXPECT_EQ(memcmp(sum, bytes.data() + 4, 16), 0) << name;
    size_t tail = (bytes.size() - 20) % 64;
    sawTwoBlockEnding |= tail >= 56;
    sawEmptyTail |= tail == 0;
  }
  EXPECT_TRUE(sawTwoBlockEnding) << "no reference container ends with 56..63 spare bytes";
  EXPECT_TRUE(sawEmptyTail);
}

TEST(ContainerChecksum, RewritingReferenceChunksReproducesTheContainer) {
  for (const char* name : kVectors) {
    std::vector<uint8_t> bytes = vector(name);
    std::vector<dxbc::Chunk> chunks;
    std::string error;
    ASSERT_TRUE(dxbc::readContainer(bytes.data(), bytes.size(), chunks, error)) << name << error;
    EXPECT_EQ(dxbc::writeContainer(chunks), bytes) << name;
  }
}

TEST(ContainerChecksum, CoversEveryByteAfterTheHeader) {
  std::vector<uint8_t> bytes = vector("wine_ps_uv.dxbc");
  uint32_t original[4];
  dxbc::containerChecksum(bytes.data(), bytes.size(), original);
  for (size_t at : {size_t(20), size_t(40), bytes.size() / 2, bytes.size() - 1}) {
    std::vector<uint8_t> changed = bytes;
    changed[at] ^= 1;
    uint32_t sum[4];
    dxbc::containerChecksum(changed.data(), changed.size(), sum);
    EXPECT_NE(memcmp(sum, original, 16), 0) << "byte " << at;
  }
}

TEST(ContainerReader, RejectsMalformedContainers) {
  std::vector<uint8_t> good = vector("wine_ps_uv.dxbc");
  std::vector<dxbc::Chunk> chunks;
  std::string error;

  std::vector<uint8_t> truncated(good.begin(), good.end() - 4);
  EXPECT_FALSE(dxbc::readContainer(truncated.data(), truncated.size(), chunks, error));
  EXPECT_NE(error.find("size"), std::string::npos) << error;

  std::vector<uint8_t> badMagic = good;
  badMagic[0] = 'X';
  EXPECT_FALSE(dxbc::readContainer(badMagic.data(), badMagic.size(), chunks, error));

  std::vector<uint8_t> hugeChunk = good;
  uint32_t firstChunk;
  memcpy(&firstChunk, &good[32], 4);
  uint32_t huge = 0x7ffffff0;
  memcpy(&hugeChunk[firstChunk + 4], &huge, 4);
  EXPECT_FALSE(dxbc::readContainer(hugeChunk.data(), hugeChunk.size(), chunks, error));

  std::vector<uint8_t> manyChunks = good;
  uint32_t count = 0x40000000;
  memcpy(&manyChunks[28], &count, 4);
  EXPECT_FALSE(dxbc::readContainer(manyChunks.data(), manyChunks.size(), chunks, error));

  EXPECT_FALSE(dxbc::readContainer(good.data(), 10, chunks, error));
}

// Offsets that share one chunk would make the reader copy it once per
// offset: a 128 KiB file of them used to claim 2 GiB.
TEST(ContainerReader, RejectsChunksThatShareBytes) {
  std::vector<dxbc::Chunk> chunks(2);
  chunks[0].fourcc = dxbc::fourCC('B', 'I', 'G', ' ');
  chunks[0].data.assign(64, 7);
  chunks[1].fourcc = dxbc::fourCC('S', 'M', 'A', 'L');
  chunks[1].data.assign(4, 1);
  std::vector<uint8_t> bytes = dxbc::writeContainer(chunks);
  std::vector<dxbc::Chunk> back;
  std::string error;
  ASSERT_TRUE(dxbc::readContainer(bytes.data(), bytes.size(), back, error)) << error;

  std::vector<uint8_t> shared = bytes;
  memcpy(&shared[36], &shared[32], 4);  // the second offset names the first chunk
  EXPECT_FALSE(dxbc::readContainer(shared.data(), shared.size(), back, error));
  EXPECT_NE(error.find("overlaps"), std::string::npos) << error;

  // Many offsets into the offset table itself, each reading a chunk that
  // spans half the file.
  const uint32_t size = 65536, count = (size - 32) / 4, at = size / 2 - 16;
  std::vector<uint8_t> table(size, 0);
  memcpy(&table[0], "DXBC", 4);
  const uint32_t header[3] = {1, size, count};
  memcpy(&table[20], header, 12);
  for (uint32_t i = 0; i < count; ++i) memcpy(&table[32 + 4 * i], &at, 4);
  EXPECT_FALSE(dxbc::readContainer(table.data(), table.size(), back, error));
  EXPECT_NE(error.find("overlaps"), std::string::npos) << error;
}

TEST(ContainerWriter, PadsChunksAndRecordsOffsets) {
  std::vector<dxbc::Chunk> chunks(2);
  chunks[0].fourcc = dxbc::fourCC('A', 'B', 'C', 'D');
  chunks[0].data = {1, 2, 3};  // padded to 4
  chunks[1].fourcc = dxbc::fourCC('E', 'F', 'G', 'H');
  chunks[1].data = {9, 9, 9, 9, 9, 9, 9, 9};
  std::vector<uint8_t> out = dxbc::writeContainer(chunks);
  ASSERT_EQ(out.size(), 32u + 8 + 8 + 4 + 8 + 8);
  std::vector<dxbc::Chunk> back;
  std::string error;
  ASSERT_TRUE(dxbc::readContainer(out.data(), out.size(), back, error)) << error;
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].data, (std::vector<uint8_t>{1, 2, 3, 0}));
  EXPECT_EQ(back[1].data, chunks[1].data);
  EXPECT_EQ(dxbc::fourCCText(back[1].fourcc), "EFGH");
}

}  // namespace
