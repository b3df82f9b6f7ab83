#include "send.hpp"

#include <vector>

#include "live.hpp"
#include "messages.hpp"
#include "platform.hpp"
#include "serial.hpp"
#include "shell.hpp"

namespace tivrano {
namespace {

constexpr std::string_view NOT_OPENED = "Serial port not opened!\n";
constexpr std::string_view LOST = "Serial port lost!\n";

// Why the port did not open, said on standard error.
void explain_port(const Request& request, serial::Opened opened, int error) {
    const char* const port = request.send_port;
    switch (opened) {
    case serial::Opened::busy:
        say("tivrano: %s: busy: another program has it open", port);
        break;
    case serial::Opened::not_a_port:
        say("tivrano: %s: not a serial port: %s", port, platform::error_text(error));
        break;
    case serial::Opened::no_speed:
        say("tivrano: %s: this system gives a port no speed of %lu baud", port,
            static_cast<unsigned long>(request.baud));
        break;
    default:
        say("tivrano: %s: cannot open: %s", port, platform::error_text(error));
        break;
    }
}

} // namespace

int play_frames(Frames& frames, const Request& request, const ArrayOptions& array, Sink standard) {
    const bool tpm2 = request.protocol == Protocol::tpm2;
    if (tpm2) {
        encode_frames(array, frames);
        if (frames.frame_size() > TPM2_MOST) {
            const int refused = refuse(standard, refusal(frames.kind, Refusal::frames));
            say("tivrano: a frame takes %zu bytes, more than the %zu a tpm2 message carries",
                frames.frame_size(), TPM2_MOST);
            return refused;
        }
    }
    serial::Port port;
    int error = 0;
    if (const serial::Opened opened =
            serial::open_port(request.send_port, request.baud, port, error);
        opened != serial::Opened::open) {
        const int refused = refuse(standard, NOT_OPENED);
        explain_port(request, opened, error);
        return refused;
    }
    std::vector<std::uint8_t> message;
    bool sent = true;
    for (std::uint32_t round = 0; sent && (request.loop == 0 || round < request.loop); ++round) {
        for (std::size_t k = 0; sent && k < frames.count(); ++k) {
            const std::uint64_t since = serial::now_ms();
            message.clear();
            append_message(request.protocol, array.layout, frames.frame(k), message);
            sent = serial::send(port, message.data(), message.size(), error) &&
                   serial::hold_until(since, frames.delay_ms[k]);
        }
    }
    serial::close_port(port);
    if (serial::interrupted()) {
        serial::end_as_interrupted();
    }
    if (!sent) {
        const int refused = refuse(standard, LOST);
        say("tivrano: %s: cannot write: %s", request.send_port, platform::error_text(error));
        return refused;
    }
    return 0;
}

} // namespace tivrano
