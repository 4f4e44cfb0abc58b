#pragma once

#include <cstdint>
#include <string_view>

namespace rowsmith::objectstream {

// The value tags of the tagged object stream used by settings files. Every
// value starts with one of these bytes; names carry no tag.
inline constexpr std::uint8_t kEndOfList = 0x00;
inline constexpr std::uint8_t kListBegin = 0x01;
inline constexpr std::uint8_t kInt8 = 0x02;
inline constexpr std::uint8_t kInt16 = 0x03;
inline constexpr std::uint8_t kInt32 = 0x04;
inline constexpr std::uint8_t kShortString = 0x06;
inline constexpr std::uint8_t kFalse = 0x08;
inline constexpr std::uint8_t kTrue = 0x09;
inline constexpr std::uint8_t kLongString = 0x0C;

// The four bytes every stream starts with.
inline constexpr std::string_view kSignature = "TPF0";
// A byte at or above this value after the signature is a flags byte.
inline constexpr std::uint8_t kFirstFlagsByte = 0xF0;
// Flag bit: an integer value follows the flags byte.
inline constexpr std::uint8_t kFlagHasIndex = 0x02;

// The messages of the stream machinery, worded as the user sees them.
inline constexpr std::string_view kInvalidStreamFormat = "Invalid stream format";
inline constexpr std::string_view kStreamReadError = "Stream read error";
inline constexpr std::string_view kStreamWriteError = "Stream write error";
inline constexpr std::string_view kInvalidPropertyValue = "Invalid property value";
inline constexpr std::string_view kPropertyDoesNotExist = "Property does not exist";

}  // namespace rowsmith::objectstream
