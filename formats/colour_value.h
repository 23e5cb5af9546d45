// A colour value: red in the low byte, then green, then blue.
#pragma once

#include <cstdint>

namespace colour {

constexpr uint32_t make(uint32_t red, uint32_t green, uint32_t blue) {
    return red | (green << 8) | (blue << 16);
}
constexpr uint8_t red(uint32_t value) {
    return static_cast<uint8_t>(value);
}
constexpr uint8_t green(uint32_t value) {
    return static_cast<uint8_t>(value >> 8);
}
constexpr uint8_t blue(uint32_t value) {
    return static_cast<uint8_t>(value >> 16);
}

}  // namespace colour
