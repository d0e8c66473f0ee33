#pragma once

#include "channel_data/channel_cursor.h"

#include <functional>
#include <optional>
#include <string>

// What the user's edits of the channel grid do to the current record: typed
// frequencies are checked and moved onto the channel raster, and each pick
// list writes its fields.
namespace kr4720 {

inline constexpr double kLowestFrequency = 130.0;
inline constexpr double kHighestFrequency = 500.0;

// The frequency in MHz on the 5 kHz / 6.25 kHz raster as "###.00000", or
// nothing when it lies outside 130 to 500 MHz.
std::optional<std::string> normalisedFrequency(double megahertz);

// Runs after the user finished editing grid column 1 or 4; the typed text is
// already in the field. `showOutOfRange` shows the out-of-range message and
// returns when the user has closed it. A failure of the store ends the
// handling silently, keeping what was already written.
void afterFrequencyEdit(ChannelCursor& cursor, int column,
                        const std::function<void()>& showOutOfRange);

enum class Picker { Combo1, Combo2, Combo3, Combo4, Combo5, Combo6, Combo7 };

// Writes a picked entry into the current record. Throws DataError.
void applyPick(ChannelCursor& cursor, Picker picker, const std::string& text);

} // namespace kr4720
