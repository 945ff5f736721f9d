// Tests of the RLE8/RLE4 decoders and encoders.

#include "DIBTestUtil.h"
#include "dib/KpRLE.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace {

using TBytes = std::vector<uint8_t>;
using TConversion = void (*)(const TKpDIBInfos&, TKpDIBInfos&, bool);

TConversion Decoder(int bits) { return bits == 4 ? Convert4BitRLETo4BitRGB : Convert8BitRLETo8BitRGB; }
TConversion Encoder(int bits) { return bits == 4 ? Convert4BitRGBTo4BitRLE : Convert8BitRGBTo8BitRLE; }

TTestDIB Convert(TConversion conversion, const TKpDIBInfos& src, bool useFMO = false) {
  TKpDIBInfos dst;
  conversion(src, dst, useFMO);
  return TTestDIB::Adopt(dst, useFMO);
}

TTestDIB Decode(int bits, int32_t width, int32_t height, const TBytes& stream) {
  const TTestDIB src = TTestDIB::Compressed(width, height, static_cast<uint16_t>(bits), stream);
  return Convert(Decoder(bits), src.Infos);
}

// Runs the conversion, expecting it to fail with exception E and exactly this message, and to leave no
// pixel block in Dst.
template <typename E>
void ExpectFailure(TConversion conversion, const TKpDIBInfos& src, const std::string& message) {
  TKpDIBInfos dst;
  try {
    conversion(src, dst, false);
    ADD_FAILURE() << "no exception, expected " << message;
    ReleaseMemory(dst.hFile, dst.pBits, false);
  } catch (const E& e) {
    EXPECT_EQ(e.Message(), message);
    EXPECT_EQ(dst.pBits, nullptr);
  }
}

struct TDecodeCase {
  const char* Name;
  int Bits;
  int32_t Width;
  int32_t Height;
  TBytes Stream;
  TBytes Block;  // the whole decoded pixel block
};

TEST(RLEDecode, DecodesStreamsToRows) {
  const TDecodeCase cases[] = {
      {"run with row padding", 8, 3, 1, {3, 7, 0, 0, 0, 1}, {7, 7, 7, 0}},
      {"absolute run with pad byte", 8, 3, 1, {0, 3, 1, 2, 3, 0, 0, 1}, {1, 2, 3, 0}},
      {"delta skips pixels", 8, 4, 2, {1, 5, 0, 2, 2, 1, 1, 9, 0, 1}, {5, 0, 0, 0, 0, 0, 0, 9}},
      {"early end leaves zeros", 8, 2, 2, {2, 4, 0, 1}, {4, 4, 0, 0, 0, 0, 0, 0}},
      {"end of line on the last row", 8, 1, 1, {1, 6, 0, 0, 0, 1}, {6, 0, 0, 0}},
      {"delta to the end of the block", 8, 2, 1, {0, 2, 2, 1, 0, 1}, {0, 0, 0, 0}},
      {"run of alternating nibbles", 4, 5, 1, {5, 0x12, 0, 1}, {0x12, 0x12, 0x10, 0}},
      {"run starting at an odd pixel", 4, 4, 1, {0, 2, 1, 0, 3, 0x12, 0, 1}, {0x01, 0x21, 0, 0}},
      {"runs sharing a byte", 4, 2, 1, {1, 0x12, 1, 0x34, 0, 1}, {0x13, 0, 0, 0}},
      {"literal completing a byte", 4, 4, 1, {1, 0x10, 0, 3, 0x23, 0x40, 0, 1}, {0x12, 0x34, 0, 0}},
      {"odd-width row fills its spare nibble", 4, 3, 1, {4, 0x12, 0, 1}, {0x12, 0x12, 0, 0}},
      {"absolute nibbles in a word", 4, 5, 1, {0, 5, 0x12, 0x34, 0x50, 0, 0, 1}, {0x12, 0x34, 0x50, 0}},
      {"absolute nibbles at an odd pixel", 4, 4, 1, {0, 2, 1, 0, 0, 3, 0x12, 0x30, 0, 1}, {0x01, 0x23, 0, 0}},
      {"rows in storage order", 4, 2, 2, {2, 0x11, 0, 0, 2, 0x22, 0, 1}, {0x11, 0, 0, 0, 0x22, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const TTestDIB dst = Decode(c.Bits, c.Width, c.Height, c.Stream);
    EXPECT_EQ(dst.Bytes(), c.Block);
    EXPECT_EQ(dst.Infos.W3Head.biCompression, BI_RGB);
    EXPECT_EQ(dst.Infos.W3Head.biSizeImage, 0u);
    EXPECT_EQ(dst.Infos.W3Head.biBitCount, c.Bits);
    EXPECT_EQ(dst.Infos.W3Head.biHeight, c.Height);
  }
}

TEST(RLEDecode, KeepsTopDownHeader) {
  const TTestDIB dst = Decode(8, 2, -2, {2, 1, 0, 0, 2, 3, 0, 1});
  EXPECT_EQ(dst.Infos.W3Head.biHeight, -2);
  EXPECT_EQ(dst.Bytes(), (TBytes{1, 1, 0, 0, 3, 3, 0, 0}));
}

struct TBadCase {
  int Bits;
  int32_t Width;
  int32_t Height;
  TBytes Stream;
  const char* Message;
};

TEST(RLEDecode, RejectsBadStreams) {
  const TBadCase cases[] = {
      {8, 3, 1, {4, 7, 0, 1}, "Convert8BitRLETo8BitRGB: Bad RLE Data 4"},
      {8, 1, 1, {1, 7, 0, 0, 1, 7, 0, 1}, "Convert8BitRLETo8BitRGB: Bad RLE Data 4"},
      {8, 1, 1, {0, 0, 0, 0, 0, 1}, "Convert8BitRLETo8BitRGB: Bad RLE Data 1"},
      {8, 2, 2, {0, 2, 3, 0, 0, 1}, "Convert8BitRLETo8BitRGB: Bad RLE Data 2"},
      {8, 2, 2, {0, 2, 0, 3, 0, 1}, "Convert8BitRLETo8BitRGB: Bad RLE Data 2"},
      {8, 3, 1, {0, 4, 1, 2, 3, 4, 0, 1}, "Convert8BitRLETo8BitRGB: Bad RLE Data 3"},
      {8, 3, 1, {0, 2, 0, 1, 0, 3, 1, 2, 3, 0, 0, 1}, "Convert8BitRLETo8BitRGB: Bad RLE Data 3"},
      {8, 3, 1, {}, "Convert8BitRLETo8BitRGB: Bad RLE Data 5"},
      {8, 3, 1, {3}, "Convert8BitRLETo8BitRGB: Bad RLE Data 5"},
      {8, 3, 1, {3, 7, 0, 0}, "Convert8BitRLETo8BitRGB: Bad RLE Data 5"},
      {8, 3, 2, {0, 2, 1}, "Convert8BitRLETo8BitRGB: Bad RLE Data 5"},
      {8, 3, 1, {0, 3, 1, 2, 3}, "Convert8BitRLETo8BitRGB: Bad RLE Data 5"},
      {4, 3, 1, {5, 0x12, 0, 1}, "Convert4BitRLETo4BitRGB: Bad RLE Data 8"},
      {4, 2, 1, {0, 0, 2, 0x12, 0, 1}, "Convert4BitRLETo4BitRGB: Bad RLE Data 8"},
      {4, 2, 1, {0, 0, 0, 0, 0, 1}, "Convert4BitRLETo4BitRGB: Bad RLE Data 5"},
      {4, 3, 2, {0, 2, 5, 0, 0, 1}, "Convert4BitRLETo4BitRGB: Bad RLE Data 6"},
      {4, 3, 2, {0, 2, 0, 3, 0, 1}, "Convert4BitRLETo4BitRGB: Bad RLE Data 6"},
      {4, 3, 1, {0, 5, 0x12, 0x34, 0x50, 0, 0, 1}, "Convert4BitRLETo4BitRGB: Bad RLE Data 7"},
      {4, 4, 1, {0, 2, 0, 1, 0, 3, 0x12, 0x30, 0, 1}, "Convert4BitRLETo4BitRGB: Bad RLE Data 7"},
      {4, 4, 1, {}, "Convert4BitRLETo4BitRGB: Bad RLE Data 9"},
      {4, 4, 1, {4, 0x12}, "Convert4BitRLETo4BitRGB: Bad RLE Data 9"},
      {4, 4, 1, {0, 2, 1}, "Convert4BitRLETo4BitRGB: Bad RLE Data 9"},
      {4, 8, 1, {0, 5, 0x12, 0x34, 0x50}, "Convert4BitRLETo4BitRGB: Bad RLE Data 9"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Message);
    const TTestDIB src = TTestDIB::Compressed(c.Width, c.Height, static_cast<uint16_t>(c.Bits), c.Stream);
    ExpectFailure<EKpDIBInvalidDIB>(Decoder(c.Bits), src.Infos, c.Message);
  }
}

TEST(RLEDecode, RejectsOtherFormats) {
  TTestDIB plain8(4, 1, 8, 256);
  ExpectFailure<EKpDIBBadDIBType>(Convert8BitRLETo8BitRGB, plain8.Infos,
                                  "Convert8BitRLETo8BitRGB: Invalid Bitcount & Compression Combination");
  const TTestDIB rle4 = TTestDIB::Compressed(4, 1, 4, {0, 1});
  ExpectFailure<EKpDIBBadDIBType>(Convert8BitRLETo8BitRGB, rle4.Infos,
                                  "Convert8BitRLETo8BitRGB: Invalid Bitcount & Compression Combination");
  const TTestDIB rle8 = TTestDIB::Compressed(4, 1, 8, {0, 1});
  ExpectFailure<EKpDIBBadDIBType>(Convert4BitRLETo4BitRGB, rle8.Infos,
                                  "Convert4BitRLETo4BitRGB: Invalid Bitcount & Compression Combination");
}

// Every proper prefix of a stream (in a block of exactly that size) lacks the end code, so it must be
// reported as cut short, never read past the block.
TEST(RLEDecode, EveryTruncationIsReported) {
  const TBytes stream8 = {3, 7, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 1, 1, 2, 9, 0, 4, 1, 2, 3, 4, 0, 0, 0, 1};
  const TBytes stream4 = {3, 0x12, 0, 3, 0x45, 0x60, 0, 0, 0, 2, 1, 1, 2, 0x99, 0, 5, 0x12, 0x34, 0x50, 0, 0, 1};
  for (int bits : {4, 8}) {
    const TBytes& stream = bits == 4 ? stream4 : stream8;
    const char* cutShort =
        bits == 4 ? "Convert4BitRLETo4BitRGB: Bad RLE Data 9" : "Convert8BitRLETo8BitRGB: Bad RLE Data 5";
    Decode(bits, 7, 3, stream);
    for (size_t length = 0; length < stream.size(); ++length) {
      SCOPED_TRACE(length);
      const TBytes prefix(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(length));
      const TTestDIB src = TTestDIB::Compressed(7, 3, static_cast<uint16_t>(bits), prefix);
      ExpectFailure<EKpDIBInvalidDIB>(Decoder(bits), src.Infos, cutShort);
    }
  }
}

// Random streams, biased towards escape codes: each either decodes or is rejected as invalid data.
TEST(RLEDecode, SurvivesRandomStreams) {
  std::mt19937 random(11);
  for (int trial = 0; trial < 4000; ++trial) {
    const int bits = trial % 2 ? 4 : 8;
    TBytes stream(random() % 48);
    for (auto& b : stream) b = static_cast<uint8_t>(random() % 3 ? random() % 4 : random() % 256);
    const int32_t width = 1 + static_cast<int32_t>(random() % 9);
    const int32_t height = (1 + static_cast<int32_t>(random() % 4)) * (random() % 2 ? 1 : -1);
    const TTestDIB src = TTestDIB::Compressed(width, height, static_cast<uint16_t>(bits), stream);
    TKpDIBInfos dst;
    try {
      Decoder(bits)(src.Infos, dst, false);
      ReleaseMemory(dst.hFile, dst.pBits, false);
    } catch (const EKpDIBInvalidDIB&) {
      EXPECT_EQ(dst.pBits, nullptr);
    }
  }
}

struct TEncodeCase {
  const char* Name;
  int Bits;
  int32_t Width;
  TBytes Row;      // the first (bottom) row, as stored
  TBytes Encoded;  // its encoding up to and including its end of line
};

// The first row is followed by three zero rows, which give the work buffer room; each of them encodes
// as one run and an end of line.
TEST(RLEEncode, EncodesRowsExactly) {
  const TEncodeCase cases[] = {
      {"literal loses its last pixel to a run", 8, 7, {5, 5, 5, 1, 2, 3, 3, 0}, {3, 5, 1, 1, 1, 2, 2, 3, 0, 0}},
      {"odd literal with pad", 8, 5, {1, 2, 3, 4, 5, 0, 0, 0}, {0, 5, 1, 2, 3, 4, 5, 0, 0, 0}},
      {"even literal", 8, 6, {1, 2, 3, 4, 5, 6, 0, 0}, {0, 6, 1, 2, 3, 4, 5, 6, 0, 0}},
      {"literal shrunk to one pixel", 8, 5, {1, 2, 2, 2, 2, 0, 0, 0}, {1, 1, 4, 2, 0, 0}},
      {"literal of three before a run", 8, 5, {1, 2, 3, 4, 4, 0, 0, 0}, {0, 3, 1, 2, 3, 0, 2, 4, 0, 0}},
      {"two pixels at the row end", 8, 8, {9, 9, 9, 9, 9, 9, 1, 2}, {6, 9, 1, 1, 1, 2, 0, 0}},
      {"single pixel at the row end", 8, 8, {9, 9, 9, 9, 9, 9, 9, 7}, {7, 9, 1, 7, 0, 0}},
      {"odd-width run claims only the row's pixels", 4, 9, {0x11, 0x11, 0x11, 0x11, 0x10, 0, 0, 0},
       {8, 0x11, 1, 0x10, 0, 0}},
      {"byte literal counted in pixels", 4, 10, {0x12, 0x34, 0x56, 0x77, 0x77, 0, 0, 0},
       {0, 6, 0x12, 0x34, 0x56, 0, 4, 0x77, 0, 0}},
      {"odd-width literal", 4, 9, {0x11, 0x11, 0x12, 0x34, 0x50, 0, 0, 0}, {4, 0x11, 0, 5, 0x12, 0x34, 0x50, 0, 0, 0}},
      {"even byte literal", 4, 16, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0},
       {0, 16, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0, 0}},
      {"two-byte literal", 4, 12, {0x12, 0x34, 0x55, 0x55, 0x55, 0x55, 0, 0}, {0, 4, 0x12, 0x34, 8, 0x55, 0, 0}},
      {"one-byte literal becomes a run", 4, 10, {0x12, 0x34, 0x34, 0x34, 0x34, 0, 0, 0}, {2, 0x12, 8, 0x34, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TTestDIB src(c.Width, 4, static_cast<uint16_t>(c.Bits), DefaultClrUsed(c.Bits));
    std::copy(c.Row.begin(), c.Row.end(), src.Row(0));
    TBytes expected = c.Encoded;
    for (int k = 0; k < 3; ++k) expected.insert(expected.end(), {static_cast<uint8_t>(c.Width), 0, 0, 0});
    expected.insert(expected.end(), {0, 1});
    const TTestDIB dst = Convert(Encoder(c.Bits), src.Infos);
    EXPECT_EQ(dst.Bytes(), expected);
    EXPECT_EQ(dst.Infos.W3Head.biCompression, c.Bits == 4 ? BI_RLE4 : BI_RLE8);
    EXPECT_EQ(dst.Infos.W3Head.biSizeImage, expected.size());
    EXPECT_EQ(dst.Infos.W3Head.biBitCount, c.Bits);
  }
}

// Runs and literals are split at 255 pixels (RLE8) or 127 bytes (RLE4).
TEST(RLEEncode, SplitsAtTheCountLimits) {
  for (int bits : {4, 8}) {
    SCOPED_TRACE(bits);
    const int32_t width = 600;
    const int64_t bytes = bits == 8 ? width : width / 2;
    const int limit = bits == 8 ? 255 : 127;
    TTestDIB runs(width, 2, static_cast<uint16_t>(bits), DefaultClrUsed(bits));
    std::fill(runs.Row(0), runs.Row(0) + bytes, 0x33);
    TTestDIB literals(width, 2, static_cast<uint16_t>(bits), DefaultClrUsed(bits));
    for (int64_t i = 0; i < bytes; ++i) literals.Row(0)[i] = static_cast<uint8_t>(i % 200);

    TBytes expectedRuns;
    TBytes expectedLiterals;
    for (int64_t done = 0; done < bytes;) {
      const int64_t n = std::min<int64_t>(limit, bytes - done);
      const auto pixels = static_cast<uint8_t>(bits == 8 ? n : 2 * n);
      expectedRuns.insert(expectedRuns.end(), {pixels, 0x33});
      expectedLiterals.insert(expectedLiterals.end(), {0, pixels});
      for (int64_t i = done; i < done + n; ++i) expectedLiterals.push_back(static_cast<uint8_t>(i % 200));
      if (n % 2) expectedLiterals.push_back(0);
      done += n;
    }
    const TBytes zeroRow = bits == 8 ? TBytes{255, 0, 255, 0, 90, 0, 0, 0} : TBytes{254, 0, 254, 0, 92, 0, 0, 0};
    for (TBytes* expected : {&expectedRuns, &expectedLiterals}) {
      expected->insert(expected->end(), {0, 0});
      expected->insert(expected->end(), zeroRow.begin(), zeroRow.end());
      expected->insert(expected->end(), {0, 1});
    }
    EXPECT_EQ(Convert(Encoder(bits), runs.Infos).Bytes(), expectedRuns);
    EXPECT_EQ(Convert(Encoder(bits), literals.Infos).Bytes(), expectedLiterals);
  }
}

// The work buffer is as large as the uncompressed block; a run needs 6 bytes of room, an end of line 4
// and the end code 2, so a stream fits exactly when its whole length does.
TEST(RLEEncode, FailsWithoutRoom) {
  for (int bits : {4, 8}) {
    SCOPED_TRACE(bits);
    const std::string failed =
        bits == 4 ? "Convert4BitRGBTo4BitRLE: Compression Failed" : "Convert8BitRGBTo8BitRLE: Compression Failed";
    const TTestDIB tiny(1, 1, static_cast<uint16_t>(bits), DefaultClrUsed(bits));
    ExpectFailure<EKpDIBCompressionFailed>(Encoder(bits), tiny.Infos, failed);
    // 8 one-colour pixels: 8-bit rows have 8 bytes, room for 6 bytes of stream; 4-bit rows only 4.
    const TTestDIB eight(8, 1, static_cast<uint16_t>(bits), DefaultClrUsed(bits));
    if (bits == 8)
      EXPECT_EQ(Convert(Encoder(bits), eight.Infos).Bytes(), (TBytes{8, 0, 0, 0, 0, 1}));
    else
      ExpectFailure<EKpDIBCompressionFailed>(Encoder(bits), eight.Infos, failed);

    // two runs, an end of line and the end code: exactly the 8 bytes of one row
    TTestDIB exact(bits == 8 ? 6 : 16, 1, static_cast<uint16_t>(bits), DefaultClrUsed(bits));
    const TBytes row = bits == 8 ? TBytes{1, 1, 1, 2, 2, 2} : TBytes{0x11, 0x11, 0x11, 0x11, 0x22, 0x22, 0x22, 0x22};
    std::copy(row.begin(), row.end(), exact.Row(0));
    const TBytes expected = bits == 8 ? TBytes{3, 1, 3, 2, 0, 0, 0, 1} : TBytes{8, 0x11, 8, 0x22, 0, 0, 0, 1};
    EXPECT_EQ(Convert(Encoder(bits), exact.Infos).Bytes(), expected);

    std::mt19937 random(3);
    TTestDIB noise(64, 16, static_cast<uint16_t>(bits), DefaultClrUsed(bits));
    for (int32_t y = 0; y < noise.Height(); ++y)
      for (int64_t i = 0; i < noise.Stride(); ++i) noise.Row(y)[i] = static_cast<uint8_t>(i * 2 + (random() & 1));
    ExpectFailure<EKpDIBCompressionFailed>(Encoder(bits), noise.Infos, failed);
  }
}

TEST(RLEEncode, RejectsOtherFormats) {
  const TTestDIB rle8 = TTestDIB::Compressed(4, 1, 8, {4, 0, 0, 1});
  ExpectFailure<EKpDIBBadDIBType>(Convert8BitRGBTo8BitRLE, rle8.Infos,
                                  "Convert8BitRGBTo8BitRLE: Invalid Bitcount & Compression Combination");
  TTestDIB plain4(4, 1, 4, 16);
  ExpectFailure<EKpDIBBadDIBType>(Convert8BitRGBTo8BitRLE, plain4.Infos,
                                  "Convert8BitRGBTo8BitRLE: Invalid Bitcount & Compression Combination");
  TTestDIB plain8(4, 1, 8, 256);
  ExpectFailure<EKpDIBBadDIBType>(Convert4BitRGBTo4BitRLE, plain8.Infos,
                                  "Convert4BitRGBTo4BitRLE: Invalid Bitcount & Compression Combination");
}

// Rows of random runs (long ones and short literal stretches) in random sizes and both orientations
// survive encoding and decoding; the encoded DIB is always bottom-up.
TEST(RLERoundTrip, RestoresThePixels) {
  std::mt19937 random(2024);
  for (int trial = 0; trial < 120; ++trial) {
    const int bits = trial % 2 ? 4 : 8;
    const bool topDown = trial % 4 >= 2;
    const bool useFMO = trial % 8 == 0;
    const int32_t width = 24 + static_cast<int32_t>(random() % 700);
    const int32_t height = 1 + static_cast<int32_t>(random() % 12);
    SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(width) + " x " + std::to_string(height) +
                 (topDown ? " top-down" : " bottom-up"));
    TTestDIB src(width, topDown ? -height : height, static_cast<uint16_t>(bits), DefaultClrUsed(bits));
    const uint32_t colors = bits == 4 ? 16 : 256;
    for (int32_t y = 0; y < height; ++y) {
      for (int32_t x = 0; x < width;) {
        const bool literal = random() % 4 == 0;
        const int32_t length = literal ? 1 + random() % 6 : 8 + random() % 400;
        const uint32_t color = random() % colors;
        for (int32_t i = 0; i < length && x < width; ++i, ++x) src.SetPixel(x, y, literal ? random() % colors : color);
      }
    }
    const TTestDIB encoded = Convert(Encoder(bits), src.Infos, useFMO);
    EXPECT_EQ(encoded.Infos.W3Head.biHeight, height);
    EXPECT_EQ(encoded.Infos.W3Head.biSizeImage, static_cast<uint32_t>(encoded.Infos.BitsSize));
    TTestDIB decoded = Convert(Decoder(bits), encoded.Infos, useFMO);
    ASSERT_EQ(decoded.Height(), height);
    for (int32_t y = 0; y < height; ++y) {
      const int32_t srcRow = topDown ? height - 1 - y : y;
      for (int32_t x = 0; x < width; ++x)
        ASSERT_EQ(decoded.Pixel(x, y), src.Pixel(x, srcRow)) << "pixel " << x << ", row " << y;
    }
  }
}

}  // namespace
