// Colour values in the 0x00BBGGRR encoding, the named constants and the series palette.
#pragma once

#include <array>
#include <cstdint>

namespace ninetrace {

using TColor = std::uint32_t;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;

// A point with clDefault takes the series colour; clNone marks a null point (a gap).
inline constexpr TColor clDefault = 0x20000000;
inline constexpr TColor clNone = 0x1FFFFFFF;

// System colours carry the high bit; ColorToRGB resolves them to fixed greys.
inline constexpr TColor clBtnFace = 0x8000000F;
inline constexpr TColor clBtnHighlight = 0x80000014;
inline constexpr TColor clBtnShadow = 0x80000010;

constexpr TColor ColorToRGB(TColor c) {
  switch (c) {
    case clBtnFace: return 0xF0F0F0;
    case clBtnHighlight: return 0xFFFFFF;
    case clBtnShadow: return 0xA0A0A0;
    default: return c & 0x00FFFFFF;
  }
}

inline constexpr std::array<TColor, 16> SeriesPalette = {
    clRed,    clGreen, clYellow, clBlue, clWhite, clGray,   clFuchsia, clTeal,
    clNavy,   clMaroon, clLime,  clOlive, clPurple, clSilver, clAqua,   clBlack};

}  // namespace ninetrace
