#include "Deflate64.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace {

constexpr unsigned kMaxCodeLength = 15;
constexpr unsigned kLiteralLengthSymbols = 288;  // 286 and 287 exist in the fixed table only
constexpr unsigned kDistanceSymbols = 32;
constexpr unsigned kEndOfBlock = 256;
constexpr size_t kWindow = 65536;
constexpr size_t kMaxMatch = 3 + 65535;
// Decoded data waits here until it is handed on; the last kWindow bytes stay as history.
constexpr size_t kBuffer = 4 * kWindow;
constexpr size_t kCopySlack = 8;  // matches are copied in 8-byte steps and may write past their end
constexpr size_t kInput = 65536;
static_assert(kBuffer - kWindow >= kMaxMatch, "a match must fit behind the kept history");
// Zero bytes read past the end of the input, so a short peek near the end stays simple; using any
// of them means the stream was truncated.
constexpr unsigned kMaxPaddingBytes = 16;

constexpr std::array<uint16_t, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 3};
constexpr std::array<uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 16};
constexpr std::array<uint16_t, 32> kDistanceBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,   193,
    257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr std::array<uint8_t, 32> kDistanceExtra = {0, 0, 0, 0, 1, 1, 2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                                    7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
constexpr std::array<uint8_t, 19> kCodeLengthOrder = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

[[noreturn]] void Fail(const char* what) { throw EDeflate64Error(std::string("Deflate64: ") + what); }

// A canonical Huffman code. Codes up to kFastBits long are found with one table look-up; longer
// ones are decoded bit by bit from the counts, which takes at most 15 steps.
class THuffman {
public:
  static constexpr unsigned kFastBits = 10;
  enum TKind { hkCodeLengths, hkLiteralLengths, hkDistances };

  void Build(const uint8_t* lengths, unsigned symbols, TKind kind) {
    FCount.fill(0);
    for (unsigned s = 0; s < symbols; ++s) ++FCount[lengths[s]];
    FCount[0] = 0;
    int left = 1;
    unsigned used = 0;
    for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
      left <<= 1;
      left -= FCount[len];
      used += FCount[len];
      if (left < 0) Fail("over-subscribed Huffman table");
    }
    // The format allows exactly two incomplete codes: no distance code at all (a block of literals
    // only) and a single code of one bit.
    if (left > 0) {
      const bool single = used == 1 && FCount[1] == 1;
      const bool none = used == 0 && kind == hkDistances;
      if (kind == hkCodeLengths || !(single || none)) Fail("incomplete Huffman table");
    }
    std::array<uint16_t, kMaxCodeLength + 2> offset{};
    for (unsigned len = 1; len <= kMaxCodeLength; ++len) offset[len + 1] = offset[len] + FCount[len];
    for (unsigned s = 0; s < symbols; ++s)
      if (lengths[s]) FSymbol[offset[lengths[s]]++] = static_cast<uint16_t>(s);

    FFast.fill(0);
    unsigned code = 0, index = 0;
    for (unsigned len = 1; len <= kFastBits; ++len) {
      for (unsigned i = 0; i < FCount[len]; ++i, ++index, ++code) {
        unsigned reversed = 0;
        for (unsigned b = 0; b < len; ++b) reversed |= ((code >> b) & 1u) << (len - 1 - b);
        const uint16_t entry = static_cast<uint16_t>(FSymbol[index] << 4 | len);
        for (unsigned k = reversed; k < (1u << kFastBits); k += 1u << len) FFast[k] = entry;
      }
      code <<= 1;
    }
  }

  // Decodes one symbol from the low bits of bits (stream order); sets length to the code's length.
  unsigned Decode(uint64_t bits, unsigned& length) const {
    const uint16_t entry = FFast[bits & ((1u << kFastBits) - 1)];
    if (entry) {
      length = entry & 15u;
      return entry >> 4;
    }
    int code = 0, first = 0, index = 0;
    for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
      code |= static_cast<int>((bits >> (len - 1)) & 1u);
      const int count = FCount[len];
      if (code - count < first) {
        length = len;
        return FSymbol[index + (code - first)];
      }
      index += count;
      first = (first + count) << 1;
      code <<= 1;
    }
    Fail("invalid Huffman code");
  }

private:
  std::array<uint16_t, 1u << kFastBits> FFast{};
  std::array<uint16_t, kMaxCodeLength + 1> FCount{};
  std::array<uint16_t, kLiteralLengthSymbols> FSymbol{};
};

class TDecoder {
public:
  TDecoder(const TDeflate64Source& source, const TDeflate64Sink& sink, uint64_t limit)
      : FSource(source), FSink(sink), FLimit(limit), FIn(new uint8_t[kInput]), FOut(new uint8_t[kBuffer + kCopySlack]) {
    UpdateRoom();
  }

  uint64_t Run() {
    bool last = false;
    while (!last) {
      last = Bits(1);
      switch (Bits(2)) {
        case 0: StoredBlock(); break;
        case 1: FixedTables(); HuffmanBlock(); break;
        case 2: DynamicTables(); HuffmanBlock(); break;
        default: Fail("invalid block type");
      }
    }
    if (FCount < FPadding) Fail("truncated data");
    FSink(FOut.get() + FFlushed, FPos - FFlushed);
    return FBase + FPos;
  }

private:
  // -- input bits, least significant first
  void Refill() {
    while (FCount < 56) {
      if (FInPos == FInEnd && !FillInput()) {
        if (FPadding >= 8 * kMaxPaddingBytes) Fail("truncated data");
        FPadding += 8;
        FCount += 8;
        continue;
      }
      if (FInEnd - FInPos >= 8) {
        uint64_t word;
        std::memcpy(&word, FIn.get() + FInPos, 8);  // little-endian machines only, as the ABI
        FBits |= word << FCount;
        FInPos += (63 - FCount) >> 3;
        FCount |= 56;
      } else {
        FBits |= static_cast<uint64_t>(FIn[FInPos++]) << FCount;
        FCount += 8;
      }
    }
  }

  bool FillInput() {
    if (FInEof) return false;
    FInPos = 0;
    FInEnd = FSource(FIn.get(), kInput);
    if (FInEnd == 0) FInEof = true;
    return FInEnd != 0;
  }

  void Ensure(unsigned n) {
    if (FCount < n) Refill();
  }

  void Drop(unsigned n) {
    FBits >>= n;
    FCount -= n;
  }

  unsigned Bits(unsigned n) {
    Ensure(n);
    const unsigned value = static_cast<unsigned>(FBits & ((uint64_t{1} << n) - 1));
    Drop(n);
    return value;
  }

  unsigned Symbol(const THuffman& table) {
    Ensure(kMaxCodeLength);
    unsigned length = 0;
    const unsigned symbol = table.Decode(FBits, length);
    Drop(length);
    return symbol;
  }

  // -- output
  void UpdateRoom() {
    const uint64_t allowed = FLimit - FBase;  // FBase never passes FLimit
    FRoom = static_cast<size_t>(std::min<uint64_t>(kBuffer, allowed));
  }

  // Makes room for n more bytes at FPos, n <= kMaxMatch: hands the waiting data on and keeps the
  // window's worth of history. Fails when the n bytes would pass the limit.
  void MakeRoom(size_t n) {
    if (FBase + FPos + n > FLimit) Fail("more data than declared");
    if (FPos + n <= kBuffer) return;
    FSink(FOut.get() + FFlushed, FPos - FFlushed);
    std::memmove(FOut.get(), FOut.get() + FPos - kWindow, kWindow);
    FBase += FPos - kWindow;
    FPos = kWindow;
    FFlushed = kWindow;
    UpdateRoom();
  }

  // -- blocks
  void StoredBlock() {
    Drop(FCount & 7u);
    const unsigned length = Bits(16);
    const unsigned complement = Bits(16);
    if (length != (~complement & 0xFFFFu)) Fail("stored block length does not match its complement");
    if (FPos + length > FRoom) MakeRoom(length);
    size_t left = length;
    // Whole bytes already in the bit buffer come first, then the input buffer directly.
    while (left && FCount >= 8) {
      if (FCount - 8 < FPadding) Fail("truncated data");
      FOut[FPos++] = static_cast<uint8_t>(FBits);
      Drop(8);
      --left;
    }
    if (left) FBits = 0;  // the bit buffer is empty now but may hold a look-ahead copy of what follows
    while (left) {
      if (FInPos == FInEnd && !FillInput()) Fail("truncated data");
      const size_t n = std::min(left, FInEnd - FInPos);
      std::memcpy(FOut.get() + FPos, FIn.get() + FInPos, n);
      FPos += n;
      FInPos += n;
      left -= n;
    }
  }

  void FixedTables() {
    if (!FFixedBuilt) {
      std::array<uint8_t, kLiteralLengthSymbols> lengths{};
      std::fill(lengths.begin(), lengths.begin() + 144, 8);
      std::fill(lengths.begin() + 144, lengths.begin() + 256, 9);
      std::fill(lengths.begin() + 256, lengths.begin() + 280, 7);
      std::fill(lengths.begin() + 280, lengths.end(), 8);
      FFixedLiterals.Build(lengths.data(), kLiteralLengthSymbols, THuffman::hkLiteralLengths);
      std::array<uint8_t, kDistanceSymbols> distances;
      distances.fill(5);
      FFixedDistances.Build(distances.data(), kDistanceSymbols, THuffman::hkDistances);
      FFixedBuilt = true;
    }
    FLiterals = &FFixedLiterals;
    FDistances = &FFixedDistances;
  }

  void DynamicTables() {
    const unsigned literalCount = Bits(5) + 257;
    const unsigned distanceCount = Bits(5) + 1;
    const unsigned codeLengthCount = Bits(4) + 4;
    if (literalCount > 286) Fail("too many length or literal codes");
    std::array<uint8_t, 19> codeLengthLengths{};
    for (unsigned i = 0; i < codeLengthCount; ++i) codeLengthLengths[kCodeLengthOrder[i]] = static_cast<uint8_t>(Bits(3));
    FDynamicLiterals.Build(codeLengthLengths.data(), 19, THuffman::hkCodeLengths);  // used as the code-length code
    const THuffman& codeLengths = FDynamicLiterals;

    std::array<uint8_t, 286 + kDistanceSymbols> lengths{};
    const unsigned total = literalCount + distanceCount;
    unsigned n = 0;
    while (n < total) {
      const unsigned symbol = Symbol(codeLengths);
      if (symbol < 16) {
        lengths[n++] = static_cast<uint8_t>(symbol);
        continue;
      }
      uint8_t value = 0;
      unsigned repeat;
      if (symbol == 16) {
        if (n == 0) Fail("length repeat without a previous length");
        value = lengths[n - 1];
        repeat = 3 + Bits(2);
      } else if (symbol == 17) {
        repeat = 3 + Bits(3);
      } else {
        repeat = 11 + Bits(7);
      }
      if (n + repeat > total) Fail("too many code lengths");
      std::fill_n(lengths.begin() + n, repeat, value);
      n += repeat;
    }
    if (lengths[kEndOfBlock] == 0) Fail("no end-of-block code");
    FDynamicLiterals.Build(lengths.data(), literalCount, THuffman::hkLiteralLengths);
    FDynamicDistances.Build(lengths.data() + literalCount, distanceCount, THuffman::hkDistances);
    FLiterals = &FDynamicLiterals;
    FDistances = &FDynamicDistances;
  }

  void HuffmanBlock() {
    const THuffman& literals = *FLiterals;
    const THuffman& distances = *FDistances;
    for (;;) {
      const unsigned symbol = Symbol(literals);
      if (symbol < 256) {
        if (FPos >= FRoom) MakeRoom(1);
        FOut[FPos++] = static_cast<uint8_t>(symbol);
        continue;
      }
      if (symbol == kEndOfBlock) return;
      const unsigned code = symbol - 257;
      if (code >= kLengthBase.size()) Fail("invalid length code");
      const size_t length = kLengthBase[code] + Bits(kLengthExtra[code]);
      const unsigned distanceCode = Symbol(distances);
      if (distanceCode >= kDistanceSymbols) Fail("invalid distance code");
      const size_t distance = kDistanceBase[distanceCode] + Bits(kDistanceExtra[distanceCode]);
      if (FPos + length > FRoom) MakeRoom(length);
      if (distance > FPos) Fail("distance too far back");
      Copy(distance, length);
    }
  }

  void Copy(size_t distance, size_t length) {
    uint8_t* to = FOut.get() + FPos;
    const uint8_t* from = to - distance;
    FPos += length;
    if (distance >= 8) {
      // Each 8-byte step reads only bytes written before it; the slack takes the overshoot.
      for (size_t done = 0; done < length; done += 8) std::memcpy(to + done, from + done, 8);
    } else if (distance == 1) {
      std::memset(to, *from, length);
    } else {
      for (size_t i = 0; i < length; ++i) to[i] = from[i];
    }
  }

  const TDeflate64Source& FSource;
  const TDeflate64Sink& FSink;
  const uint64_t FLimit;

  std::unique_ptr<uint8_t[]> FIn;
  size_t FInPos = 0, FInEnd = 0;
  bool FInEof = false;
  uint64_t FBits = 0;
  unsigned FCount = 0;    // bits in FBits
  unsigned FPadding = 0;  // of them, zero bits from past the end of the input (the topmost)

  std::unique_ptr<uint8_t[]> FOut;
  size_t FPos = 0;      // end of the decoded data in FOut
  size_t FFlushed = 0;  // FOut before this has been handed on
  size_t FRoom = 0;     // FPos may grow up to here without MakeRoom
  uint64_t FBase = 0;   // bytes handed on and dropped from FOut

  bool FFixedBuilt = false;
  THuffman FFixedLiterals, FFixedDistances, FDynamicLiterals, FDynamicDistances;
  const THuffman* FLiterals = nullptr;
  const THuffman* FDistances = nullptr;
};

}  // namespace

uint64_t Deflate64Decode(const TDeflate64Source& source, const TDeflate64Sink& sink, uint64_t limit) {
  return TDecoder(source, sink, limit).Run();
}
