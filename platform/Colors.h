#pragma once
// Colours as the viewer and the DIB library pass them: 0x00BBGGRR, or a system colour
// (0x80000000 | index) that ColorToRGB resolves.

#include <cstdint>

using TColor = int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clGray = 0x808080;

constexpr TColor clSystemColor = static_cast<TColor>(0x80000000u);
constexpr TColor clScrollBar = clSystemColor | 0;
constexpr TColor clBackground = clSystemColor | 1;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clHighlight = clSystemColor | 13;
constexpr TColor clHighlightText = clSystemColor | 14;

// The RGB value of a colour, system colours resolved to the light desktop defaults.
uint32_t ColorToRGB(TColor color);

constexpr uint8_t GetRValue(uint32_t rgb) { return static_cast<uint8_t>(rgb); }
constexpr uint8_t GetGValue(uint32_t rgb) { return static_cast<uint8_t>(rgb >> 8); }
constexpr uint8_t GetBValue(uint32_t rgb) { return static_cast<uint8_t>(rgb >> 16); }
constexpr uint32_t RGB(uint8_t r, uint8_t g, uint8_t b) { return r | (g << 8) | (static_cast<uint32_t>(b) << 16); }
