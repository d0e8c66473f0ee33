#pragma once

#include <array>
#include <string_view>

// Where each value sits in a row of the channel table and of the emergency
// table. Fields are always addressed by position; the column order is part of
// the stored format.
namespace kr4720 {

inline constexpr int kChannelCount = 16;
inline constexpr int kChannelFieldCount = 10;
inline constexpr int kEmergencyFieldCount = 3;

namespace channel_field {
inline constexpr int kNumber = 0;            // 信道号
inline constexpr int kReceiveFrequency = 1;  // 接收频率
inline constexpr int kReceiveTone = 2;       // 收哑音
inline constexpr int kReceiveCode = 3;       // 收数字哑音
inline constexpr int kTransmitFrequency = 4; // 发送频率
inline constexpr int kTransmitTone = 5;      // 发哑音
inline constexpr int kTransmitCode = 6;      // 发数字哑音
inline constexpr int kScan = 7;              // 扫描
inline constexpr int kBusyLockout = 8;       // BCL
inline constexpr int kBeatShift = 9;         // 拍频
} // namespace channel_field

namespace emergency_field {
inline constexpr int kReceiveFrequency = 0;  // 收频率
inline constexpr int kTransmitFrequency = 1; // 发频率
inline constexpr int kBeatShift = 2;         // 拍频
} // namespace emergency_field

inline constexpr std::string_view kChannelTableName = "信道表";
inline constexpr std::string_view kEmergencyTableName = "紧急信道";
inline constexpr std::string_view kChannelDatabaseFile = "tw8810.mdb";
inline constexpr std::string_view kEmergencyDatabaseFile = "tw8810X.mdb";

inline constexpr std::array<std::string_view, kChannelFieldCount> kChannelFieldNames = {
    "信道号", "接收频率",   "收哑音", "收数字哑音", "发送频率",
    "发哑音", "发数字哑音", "扫描",   "BCL",        "拍频"};

inline constexpr std::array<std::string_view, kEmergencyFieldCount> kEmergencyFieldNames = {
    "收频率", "发频率", "拍频"};

} // namespace kr4720
