// Numbers as text, the one way the tool writes them where it does not write values: whole
// numbers, and thousandths with the digits they need (2800 is "2.8", 2000 is "2"). Usable at
// compile time, so that the defaults the help and the page show are made from the numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tivrano {

struct NumberText {
    char text[96] = {};
    std::size_t size = 0;

    constexpr std::string_view view() const { return {text, size}; }

    constexpr NumberText& whole(std::uint64_t value) {
        char digits[20] = {};
        std::size_t count = 0;
        do {
            digits[count++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (count > 0) {
            text[size++] = digits[--count];
        }
        return *this;
    }

    constexpr NumberText& thousandths(std::uint64_t value) {
        whole(value / 1000);
        if (value % 1000 != 0) {
            text[size++] = '.';
            for (std::uint64_t unit = 100; unit != 0 && value % (unit * 10) != 0; unit /= 10) {
                text[size++] = static_cast<char>('0' + value / unit % 10);
            }
        }
        return *this;
    }

    // Thousandths parted by commas: "16,11,15,1".
    template <typename Number> constexpr NumberText& thousandths(std::span<const Number> values) {
        for (std::size_t k = 0; k < values.size(); ++k) {
            if (k > 0) {
                text[size++] = ',';
            }
            thousandths(values[k]);
        }
        return *this;
    }
};

constexpr NumberText whole_text(std::uint64_t value) {
    return NumberText{}.whole(value);
}

constexpr NumberText thousandths_text(std::uint64_t value) {
    return NumberText{}.thousandths(value);
}

static_assert(thousandths_text(2800).view() == "2.8" && thousandths_text(2000).view() == "2" &&
              thousandths_text(1005).view() == "1.005" && thousandths_text(50).view() == "0.05" &&
              whole_text(0).view() == "0");

} // namespace tivrano
