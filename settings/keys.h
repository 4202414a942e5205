#pragma once

// Section and key names of the settings file. Section names are GBK bytes.
namespace settings::keys {

inline constexpr char kStartSection[] = "\xC6\xF0\xCA\xBC\xCE\xBB\xD6\xC3"; // 起始位置
inline constexpr char kSizeSection[] = "\xD7\xD6\xCC\xE5\xB4\xF3\xD0\xA1";  // 字体大小
inline constexpr char kPlaceSection[] = "\xD7\xD6\xCC\xE5\xCE\xBB\xD6\xC3"; // 字体位置
inline constexpr char kFontSection[] = "\xD7\xD6\xCC\xE5";                  // 字体
inline constexpr char kColourSection[] = "\xD1\xD5\xC9\xAB";                // 颜色
inline constexpr char kOrderSection[] = "\xCB\xB3\xD0\xF2";                 // 顺序
// The places of the classic texts, one section per child: 位置1, 位置2, ...
inline constexpr char kDeckPlacesSection[] = "\xCE\xBB\xD6\xC3"; // 位置
inline constexpr char kRewardSection[] = "\xBD\xB1\xC0\xF8";     // 奖励
inline constexpr char kVoiceSection[] = "\xC2\xBC\xD2\xF4";      // 录音

inline constexpr char kStartPosition[] = "qswz";
inline constexpr char kFontFace[] = "zt";
inline constexpr char kSingleColour[] = "danyi";
inline constexpr char kColourMode[] = "xuanze";
// In the place section: 1 when the positions are offsets from the centre.
inline constexpr char kCentredPlaces[] = "jz";
// In the colour section: the outline (1 on, 0 off), the backdrop (1 on,
// 0 off) and the backdrop's colour.
inline constexpr char kOutline[] = "miaobian";
inline constexpr char kBackdrop[] = "mubu";
inline constexpr char kBackdropColour[] = "mubuse";
inline constexpr char kShuffleLibrary[] = "sjsx"; // 随机顺序: 1 on, anything else off
inline constexpr char kStarBurst[] = "xingxing";  // 1 on, 0 off
inline constexpr char kReadAloud[] = "zidong";    // 1 on, 0 off
// In the font section: 1 prints the pinyin above the characters, 0 not.
inline constexpr char kShowPinyin[] = "pinyin";

inline constexpr char kDefaultFontFace[] = "\xBB\xAA\xCE\xC4\xBF\xAC\xCC\xE5"; // 华文楷体
inline constexpr char kDefaultSingleColour[] = "clPurple";
inline constexpr char kDefaultBackdropColour[] = "$00E8F0F4"; // a pale warm grey

} // namespace settings::keys
