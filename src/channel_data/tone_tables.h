#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kr4720 {

// The 39 CTCSS tones offered to the user, in Hz with one decimal.
extern const std::array<std::string_view, 39> kCtcssTones;

// The tone of the 39 that is `hz` to a tenth, as the list spells it.
std::optional<std::string_view> FindCtcssTone(double hz);

// The 83 DCS codes in the order the radio numbers them (index 1 to 83).
extern const std::array<std::string_view, 83> kDcsCodeList;

// The indexed DCS code table: on the wire a code travels as its index here.
// Entries 1 to 83 hold the codes once filled; entry 0 and 84 to 100 stay empty.
class DcsCodes {
public:
    static constexpr int kSize = 101;

    void fill();
    // The entry at index, or the empty text outside 0..100.
    const std::string& entry(int index) const;

private:
    std::array<std::string, kSize> entries_;
};

// The index of the entry equal to the code text (exact, case-sensitive), or 0.
std::int16_t FindDcsIndex(const DcsCodes& codes, std::string_view code);

// Entries of the main window's pick lists, in their order, blanks included.
std::vector<std::string> receiveTonePickList();  // Combo1
std::vector<std::string> receiveCodePickList();  // Combo2
std::vector<std::string> transmitTonePickList(); // Combo3
std::vector<std::string> transmitCodePickList(); // Combo4
std::vector<std::string> scanPickList();         // Combo5
std::vector<std::string> busyLockoutPickList();  // Combo6
std::vector<std::string> beatShiftPickList();    // Combo7

} // namespace kr4720
