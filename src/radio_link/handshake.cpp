#include "radio_link/handshake.h"

namespace kr4720::radio_link {

void RadioReadyHandshake::tick() {
    if (!link_.isOpen()) {
        return;
    }
    if (link_.input() != "C") {
        link_.output("C");
        return;
    }
    display_.setStatus(kRadioReadyText);
    timer3_.stop();
}

} // namespace kr4720::radio_link
