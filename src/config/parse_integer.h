#pragma once
#include <cstdint>
#include <string>

namespace kq {

// Strict decimal reader for numbers in setup data: an optional leading '-'
// and decimal digits only. The empty text is 0. No overflow check: the value
// wraps around at 32 bits. On false `value` is unchanged.
bool ParseInteger(const std::string& text, int32_t& value);

}  // namespace kq
