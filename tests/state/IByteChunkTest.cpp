// IByteChunk: byte layout of scalars and strings, bounded reads, resizing.
#include "state/IByteChunk.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using plug::IByteChunk;

std::vector<std::uint8_t> Bytes(const IByteChunk& chunk) {
  return {chunk.GetData(), chunk.GetData() + chunk.Size()};
}

IByteChunk FromBytes(const std::vector<std::uint8_t>& bytes) {
  IByteChunk chunk;
  chunk.PutBytes(bytes.data(), static_cast<int>(bytes.size()));
  return chunk;
}

TEST(IByteChunk, ScalarsAreRawLittleEndianWithoutPadding) {
  IByteChunk chunk;
  EXPECT_EQ(chunk.Put(std::int32_t{0x01020304}), 4);
  EXPECT_EQ(chunk.Put(std::uint8_t{0xAB}), 5);  // no alignment before the double
  EXPECT_EQ(chunk.Put(1.0), 13);
  EXPECT_EQ(chunk.Put(1.25f), 17);
  const std::vector<std::uint8_t> expected = {
      0x04, 0x03, 0x02, 0x01,                          // int32
      0xAB,                                            // byte
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F,  // 1.0
      0x00, 0x00, 0xA0, 0x3F,                          // 1.25f
  };
  EXPECT_EQ(Bytes(chunk), expected);

  std::int32_t i = 0;
  std::uint8_t b = 0;
  double d = 0.0;
  float f = 0.0f;
  EXPECT_EQ(chunk.Get(&i, 0), 4);
  EXPECT_EQ(chunk.Get(&b, 4), 5);
  EXPECT_EQ(chunk.Get(&d, 5), 13);
  EXPECT_EQ(chunk.Get(&f, 13), 17);
  EXPECT_EQ(i, 0x01020304);
  EXPECT_EQ(b, 0xAB);
  EXPECT_EQ(d, 1.0);
  EXPECT_EQ(f, 1.25f);
}

TEST(IByteChunk, ReadsThatDoNotFitFailAndLeaveTheOutputAlone) {
  const IByteChunk chunk = FromBytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  const struct {
    int position;
    int expected;
  } cases[] = {
      {0, 8},  {2, 10},                                         // ends exactly at the end
      {3, -1}, {10, -1}, {-1, -1}, {-8, -1}, {2147483647, -1},  // no overflow in the bound
  };
  for (const auto& c : cases) {
    double value = 42.0;
    EXPECT_EQ(chunk.Get(&value, c.position), c.expected) << c.position;
    if (c.expected < 0) {
      EXPECT_EQ(value, 42.0) << c.position;
    }
  }
  std::int32_t* none = nullptr;
  EXPECT_EQ(chunk.Get(none, 0), -1);
}

TEST(IByteChunk, StringsAreLengthThenBytesWithoutTerminator) {
  IByteChunk chunk;
  EXPECT_EQ(chunk.PutStr("Default"), 11);
  EXPECT_EQ(chunk.PutStr(""), 15);
  EXPECT_EQ(chunk.PutStr(nullptr), 19);
  const std::vector<std::uint8_t> expected = {7,   0, 0, 0, 'D', 'e', 'f', 'a', 'u', 'l',
                                              't', 0, 0, 0, 0,   0,   0,   0,   0};
  EXPECT_EQ(Bytes(chunk), expected);

  std::string s = "old";
  EXPECT_EQ(chunk.GetStr(s, 0), 11);
  EXPECT_EQ(s, "Default");
  EXPECT_EQ(chunk.GetStr(s, 11), 15);
  EXPECT_EQ(s, "");
}

TEST(IByteChunk, GetStrFailsOnBadLengthsWithoutTouchingTheString) {
  const struct {
    const char* what;
    std::vector<std::uint8_t> bytes;
    int expected;
    const char* expectedText;
  } cases[] = {
      {"length 0", {0, 0, 0, 0}, 4, ""},
      {"zero byte inside: cut there, position covers all bytes",
       {4, 0, 0, 0, 'a', 0, 'b', 'c'},
       8,
       "a"},
      {"length 10, 3 bytes present", {10, 0, 0, 0, 'a', 'b', 'c'}, -1, "old"},
      {"negative length", {0xFE, 0xFF, 0xFF, 0xFF, 'a', 'b', 'c'}, -1, "old"},
      {"length field cut short", {3, 0, 0}, -1, "old"},
      {"huge length", {0xFF, 0xFF, 0xFF, 0x7F, 'a'}, -1, "old"},
  };
  for (const auto& c : cases) {
    const IByteChunk chunk = FromBytes(c.bytes);
    std::string s = "old";
    EXPECT_EQ(chunk.GetStr(s, 0), c.expected) << c.what;
    EXPECT_EQ(s, c.expectedText) << c.what;
  }
  const IByteChunk chunk = FromBytes({0, 0, 0, 0});
  std::string s = "old";
  EXPECT_EQ(chunk.GetStr(s, -1), -1);
  EXPECT_EQ(s, "old");
}

TEST(IByteChunk, ResizeZeroFillsGrowthAndRejectsNegativeSizes) {
  IByteChunk chunk = FromBytes({9, 9});
  EXPECT_EQ(chunk.Resize(5), 5);
  EXPECT_EQ(Bytes(chunk), (std::vector<std::uint8_t>{9, 9, 0, 0, 0}));
  EXPECT_EQ(chunk.Resize(1), 1);
  EXPECT_EQ(Bytes(chunk), (std::vector<std::uint8_t>{9}));
  EXPECT_EQ(chunk.Resize(-1), -1);
  EXPECT_EQ(chunk.Size(), 1);
  EXPECT_EQ(chunk.Resize(0), 0);
}

TEST(IByteChunk, PutBytesAndPutChunkAppend) {
  IByteChunk a = FromBytes({1, 2});
  const IByteChunk b = FromBytes({3});
  EXPECT_EQ(a.PutChunk(b), 3);
  EXPECT_EQ(a.PutChunk(a), 6);  // appending itself copies first
  EXPECT_EQ(Bytes(a), (std::vector<std::uint8_t>{1, 2, 3, 1, 2, 3}));
  EXPECT_EQ(a.PutBytes(nullptr, 1), -1);
  EXPECT_EQ(a.PutBytes(nullptr, 0), 6);
  EXPECT_EQ(a.PutBytes(a.GetData(), -2), -1);
  EXPECT_EQ(a.Size(), 6);
}

}  // namespace
