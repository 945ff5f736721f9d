#pragma once
// Decoder for deflate64 ("enhanced deflate", ZIP method 9): deflate with a 64 KiB window, length
// code 285 meaning 3 + a 16-bit extra value, and distance codes 30 and 31 with 14 extra bits.
//
// Made for hostile input: it never produces more than the caller's limit, rejects over-subscribed
// and incomplete Huffman tables, and every step of its loops consumes input or produces output.

#include "Exceptions.h"

#include <cstddef>
#include <cstdint>
#include <functional>

TV_DECLARE_EXCEPTION(EDeflate64Error, Exception)

// Fills the buffer with up to size bytes of the compressed stream; 0 means the stream has ended.
using TDeflate64Source = std::function<size_t(uint8_t* buffer, size_t size)>;
// Takes the next piece of the decoded data.
using TDeflate64Sink = std::function<void(const uint8_t* data, size_t size)>;

// Decodes one deflate64 stream up to its final block and returns the number of bytes produced.
// Raises EDeflate64Error for damaged or truncated data, or before the output would exceed limit.
uint64_t Deflate64Decode(const TDeflate64Source& source, const TDeflate64Sink& sink, uint64_t limit);
