// Basic types shared by every part of the editor library.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The system's string: UTF-16 code units. Offsets and counts are in code units everywhere;
// surrogate pairs get no special treatment.
using TKivString = std::u16string;
using TKivStringView = std::u16string_view;
using Char = char16_t;

// 32-bit integers, signed and unsigned. "Wrapping" 32-bit arithmetic is done in Cardinal.
using Integer = int32_t;
using Cardinal = uint32_t;

using TKivCharArray = std::vector<char16_t>;
using TKivIntArray = std::vector<int32_t>;
