// Everything the window and its handlers hold fixed, apart from the control layout (Form1.ui).
#pragma once

#include <cstdint>

namespace keycard::window {

// The captions are sized for this font: at 9 pt every Chinese caption fits its box. It is the
// window's own (ui/font, WindowFont.h), cut from the installed font named after it, which draws
// the same pixels.
inline constexpr char kFontFamily[] = "Keycard Window Hei";
inline constexpr char kSourceFontFamily[] = "WenQuanYi Micro Hei";
inline constexpr int kFontPointSize = 9;

// The fixed client area: 7845 x 4560 twips at 15 twips a logical pixel.
inline constexpr int kClientWidth = 523;
inline constexpr int kClientHeight = 304;

// The card kind is the index of Combo1's entry.
inline constexpr int kKindProximity = 0;  // "T5557"
inline constexpr int kKindMifare = 1;     // "MF1"

inline constexpr std::int32_t kBaudRate = 9600;
inline constexpr std::int32_t kRfOn = 1;
inline constexpr std::int32_t kBeepAfterOpen = 2;
inline constexpr std::int32_t kBeepOnce = 1;
inline constexpr std::int32_t kDataCardBlock = 2;

// Status line captions. Those ending in a blank are followed directly by the driver's result.
inline constexpr char kOpenOk[] = "Open CommPort OK";
inline constexpr char kOpenError[] = "Open CommPort Error";
inline constexpr char kProximityWriteOk[] = "Wr 4469 OK ";
inline constexpr char kProximityWriteError[] = "Wr 4469 Error ";
inline constexpr char kMifareWriteOk[] = "Wr OK ";
inline constexpr char kMifareWriteError[] = "Wr Error ";
inline constexpr char kReadOk[] = "RD 4469 OK";
inline constexpr char kProximityReadError[] = "Rd 4469 Error ";
inline constexpr char kMifareReadError[] = "Rd Error ";

// A refused field is reported as "<name>: enter <what it accepts>".
inline constexpr char kCardTypeName[] = "Card type";
inline constexpr char kHotelCodeName[] = "Hotel code";
inline constexpr char kAreaName[] = "Area";
inline constexpr char kFloorName[] = "Floor";
inline constexpr char kRoomName[] = "Room";
inline constexpr char kCardSnoName[] = "Card serial number";
inline constexpr char kStartDateName[] = "Valid from";
inline constexpr char kEndDateName[] = "Valid until";
inline constexpr char kStartTimeName[] = "Daily start time";
inline constexpr char kEndTimeName[] = "Daily end time";
inline constexpr char kFloorCntName[] = "Further floors or sub-room";

}  // namespace keycard::window
