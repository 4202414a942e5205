#pragma once

// Section and key names of the settings file. Section names are GBK bytes.
namespace settings::keys {

inline constexpr char kStartSection[] = "\xC6\xF0\xCA\xBC\xCE\xBB\xD6\xC3"; // 起始位置
inline constexpr char kSizeSection[] = "\xD7\xD6\xCC\xE5\xB4\xF3\xD0\xA1";  // 字体大小
inline constexpr char kPlaceSection[] = "\xD7\xD6\xCC\xE5\xCE\xBB\xD6\xC3"; // 字体位置
inline constexpr char kFontSection[] = "\xD7\xD6\xCC\xE5";                  // 字体
inline constexpr char kColourSection[] = "\xD1\xD5\xC9\xAB";                // 颜色

inline constexpr char kStartPosition[] = "qswz";
inline constexpr char kFontFace[] = "zt";
inline constexpr char kSingleColour[] = "danyi";
inline constexpr char kColourMode[] = "xuanze";
// In the font section: 1 prints the pinyin above the characters, 0 not.
inline constexpr char kShowPinyin[] = "pinyin";

inline constexpr char kDefaultFontFace[] = "\xBB\xAA\xCE\xC4\xBF\xAC\xCC\xE5"; // 华文楷体
inline constexpr char kDefaultSingleColour[] = "clPurple";

} // namespace settings::keys
