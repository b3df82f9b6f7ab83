#include "live.hpp"

#include <algorithm>

namespace tivrano {

bool set_protocol(Protocol& protocol, std::string_view name) {
    const auto is = [name](std::string_view known) {
        return name.size() == known.size() &&
               std::equal(name.begin(), name.end(), known.begin(), [](char a, char b) {
                   return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
               });
    };
    if (is("adalight")) {
        protocol = Protocol::adalight;
    } else if (is("tpm2")) {
        protocol = Protocol::tpm2;
    } else {
        return false;
    }
    return true;
}

bool append_message(Protocol protocol, const Layout& layout, std::span<const std::uint8_t> frame,
                    std::vector<std::uint8_t>& out) {
    if (protocol == Protocol::tpm2) {
        if (frame.size() > TPM2_MOST) {
            return false;
        }
        out.insert(out.end(), {0xC9, 0xDA, static_cast<std::uint8_t>(frame.size() >> 8U),
                               static_cast<std::uint8_t>(frame.size() & 0xFFU)});
        out.insert(out.end(), frame.begin(), frame.end());
        out.push_back(0x36);
        return true;
    }
    const std::size_t last = frame.size() / 3 - 1;
    const auto high = static_cast<std::uint8_t>(last >> 8U);
    const auto low = static_cast<std::uint8_t>(last & 0xFFU);
    out.insert(out.end(),
               {'A', 'd', 'a', high, low, static_cast<std::uint8_t>(high ^ low ^ 0x55U)});
    // Where red, green and blue lie among an LED's values: the layout orders stored channels,
    // blue 0, green 1, red 2.
    std::size_t at[3] = {};
    for (std::size_t k = 0; k < 3; ++k) {
        at[2 - layout.channel[k]] = k;
    }
    for (std::size_t led = 0; led + 2 < frame.size(); led += 3) {
        out.insert(out.end(), {frame[led + at[0]], frame[led + at[1]], frame[led + at[2]]});
    }
    return true;
}

} // namespace tivrano
