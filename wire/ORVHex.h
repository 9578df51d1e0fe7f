#pragma once
// Lower-case hex text of a byte buffer, two digits per byte, no separators:
// the bytes 00 0A FF give "000aff"; an empty buffer gives "".

#include <cstdint>
#include <span>
#include <string>

std::string orv_hexString(std::span<const uint8_t> bytes);
