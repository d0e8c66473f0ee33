#pragma once

#include "radio_link/serial_link.h"
#include "radio_link/transfer_parts.h"

#include <chrono>

namespace kr4720::radio_link {

// The radio-ready handshake on Timer3: each tick takes one waiting character;
// anything but "C" is answered with a "C" poll, a "C" shows the ready text and
// stops the timer. A closed port is left alone.
class RadioReadyHandshake {
public:
    // How often Timer3 ticks.
    static constexpr std::chrono::milliseconds kPollInterval{100};

    RadioReadyHandshake(SerialLink& link, TransferDisplay& display, Timer& timer3)
        : link_(link), display_(display), timer3_(timer3) {}

    void tick();

private:
    SerialLink& link_;
    TransferDisplay& display_;
    Timer& timer3_;
};

} // namespace kr4720::radio_link
