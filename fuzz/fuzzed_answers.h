// Shapes of text that the fuzzed host hands to the module, drawn from the
// fuzzer's input. Each shape stands for something real hosts and real mail
// produce: short and long strings with control bytes, Message-ID fields in
// any letter case, folded lines, empty lines, lines without a line end, and
// a read that fills the whole buffer without a terminator.
#ifndef VELMORA_FUZZ_FUZZED_ANSWERS_H
#define VELMORA_FUZZ_FUZZED_ANSWERS_H

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

// The longest line a read may hand over with its terminator still inside
// the 10000-byte buffer.
constexpr std::size_t kLongestTerminatedLine = 9999;

// Text without NUL bytes (a host string ends at its first NUL), at most
// `maxLength` bytes long.
std::string FuzzedText(FuzzedDataProvider& input, std::size_t maxLength);

// A 32-bit value: mostly one at the edges, where a wrong comparison would
// show (zero, one, minus one, the extremes, a zero low byte under set upper
// bits), else any value the input holds.
std::uint32_t FuzzedEdgeBits(FuzzedDataProvider& input);

enum class LineShape {
    kEnd,          // the host says there are no more lines
    kLine,         // a terminated line, in `line`
    kUnterminated, // the host fills the whole buffer without a terminator
};

// The next answer to a line read.
LineShape FuzzedMessageLine(FuzzedDataProvider& input, std::string* line);

#endif
