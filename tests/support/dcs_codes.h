#pragma once

#include "channel_data/tone_tables.h"

// The DCS code table filled as the main window fills it at start-up.
inline const kr4720::DcsCodes& filledDcsCodes() {
    static const kr4720::DcsCodes table = [] {
        kr4720::DcsCodes filled;
        filled.fill();
        return filled;
    }();
    return table;
}
