#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace kr4720::radio_link {

// The serial line to the radio as the transfers use it: text in, one
// character per take. Every operation on a closed or broken line does nothing
// and reports it through isOpen().
class SerialLink {
public:
    virtual ~SerialLink() = default;

    virtual bool isOpen() const = 0;
    // Received bytes are handed out as characters and sent characters go out
    // one byte each.
    virtual void setTextMode() = 0;
    // Queues the text for sending; false when the line cannot take it.
    virtual bool output(std::string_view text) = 0;
    // Number of received characters waiting.
    virtual int inBufferCount() = 0;
    // The next received character, or the empty text when none is waiting.
    virtual std::string input() = 0;
    // Drops whatever has been received and not yet taken.
    virtual void discardInput() = 0;
    // Waits until a character is waiting or the time is up; true when one is.
    virtual bool waitForInput(std::chrono::milliseconds timeout) = 0;
};

} // namespace kr4720::radio_link
