// A fuzzer's bytes read as Unicode text, two bytes a character (low byte
// first); an odd last byte is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline std::wstring WideText(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
  }
  return text;
}
