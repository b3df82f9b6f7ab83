// Frames sent to LEDs (--send) through a pseudo-terminal left as the kernel makes it, which
// would change line ends and take some bytes for signals unless the tool makes it raw: the bytes
// of both protocols arrive as they are, laid out by the wiring, the frames held their delays, as
// many times as --loop says, and the terminal's settings are given back.
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>

#include <gtest/gtest.h>

#include "process.hpp"
#include "tivrano_receive.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Arrived {
    std::string bytes;
    std::vector<Clock::time_point> at; // when each message's first byte came
};

// Reads the messages, `size` bytes each, until the tool ends and the terminal has no more.
Arrived read_messages(int terminal, std::size_t size) {
    Arrived arrived;
    pollfd readable{terminal, POLLIN, 0};
    while (poll(&readable, 1, 1500) > 0) {
        char chunk[4096];
        const ssize_t got = read(terminal, chunk, sizeof chunk);
        if (got <= 0) {
            break;
        }
        for (ssize_t k = 0; k < got; ++k) {
            if ((arrived.bytes.size() + static_cast<std::size_t>(k)) % size == 0) {
                arrived.at.push_back(Clock::now());
            }
        }
        arrived.bytes.append(chunk, static_cast<std::size_t>(got));
    }
    return arrived;
}

TEST(Send, FramesArriveThroughAPseudoTerminal) {
    if (test::emulated()) {
        GTEST_SKIP() << "the tool runs under an emulator, whose timing is its own";
    }
    // A 2 x 2 image of values a terminal would change: a line feed, a carriage return, XON,
    // XOFF, Ctrl-C, DEL. Red, green, blue of its pixels, top row first.
    const std::vector<std::vector<std::uint8_t>> rgb = {
        {10, 13, 17}, {19, 3, 127}, {0, 255, 4}, {28, 26, 21}};
    std::vector<test::Bgr> pixels;
    for (const auto& pixel : rgb) {
        pixels.push_back({pixel[2], pixel[1], pixel[0]});
    }
    const std::string image =
        test::quote(test::write_file("send.bmp", test::bmp_file(2, 2, pixels)));
    const auto adalight = [&](const std::vector<std::size_t>& order) {
        std::string message = {'A', 'd', 'a', 0, 3, 0x56};
        for (const std::size_t pixel : order) {
            message.append(rgb[pixel].begin(), rgb[pixel].end());
        }
        return message;
    };
    struct Row {
        std::string options;
        std::string message; // one frame's
        int frames;          // times it arrives
        int delay_ms;
    };
    const std::string tpm2 = "--protocol=tpm2 --format=rgb565 --order=bgr --columns";
    const test::Run bytes =
        test::run_tool("--binary --format=rgb565 --order=bgr --columns " + image);
    const std::vector<Row> rows = {
        {"--delay-ms=150", adalight({0, 1, 2, 3}), 1, 150},
        {"--loop=3 --delay-ms=120 --start=bottom-right --serpentine", adalight({3, 2, 0, 1}), 3,
         120},
        {tpm2 + " --loop=2 --delay-ms=100", std::string("\xC9\xDA\0\x08", 4) + bytes.out + "\x36",
         2, 100},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.options);
        const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(terminal, 0);
        ASSERT_EQ(grantpt(terminal) | unlockpt(terminal), 0);
        const std::string name = ptsname(terminal);
        // Held open here, so that the terminal keeps its settings between the tool's runs.
        const int port = open(name.c_str(), O_RDWR | O_NOCTTY);
        termios before{};
        tcgetattr(port, &before);
        // Its running time, taken around it, bounds the holds from below whatever the load;
        // the times a frame is read here only roughly (this reader may wake late).
        const std::string command = "s=$(date +%s%N); " + test::TOOL +
                                    " --send=" + test::quote(name) + " " + row.options + " " +
                                    image +
                                    " >tool.out 2>tool.err; r=$?; e=$(date +%s%N);"
                                    " echo $(((e - s) / 1000000)) >tool.ms; echo $r >tool.status";
        // The tool in the background, from the scratch folder; the terminal is read here.
        test::run_shell("(cd " + test::quote(test::scratch()) + " && " + command +
                        ") >/dev/null 2>&1 </dev/null &");
        const Arrived arrived = read_messages(terminal, row.message.size());
        test::run_shell("cd " + test::quote(test::scratch()) +
                        " && until [ -s tool.status ]; do sleep 0.05; done");
        std::string expected;
        for (int k = 0; k < row.frames; ++k) {
            expected += row.message;
        }
        EXPECT_EQ(arrived.bytes, expected);
        // The Arduino library's receiver takes Adalight's frames into a buffer of GRB LEDs.
        if (row.message.starts_with("Ada")) {
            std::uint8_t leds[3 * 4] = {};
            tivrano_receiver receiver;
            tivrano_receive_start(&receiver, leds, 4, "GRB");
            int frames = 0;
            for (const char byte : arrived.bytes) {
                frames += tivrano_receive(&receiver, static_cast<std::uint8_t>(byte));
            }
            EXPECT_EQ(frames, row.frames);
            for (std::size_t led = 0; led < 4; ++led) {
                EXPECT_EQ(leds[3 * led], static_cast<std::uint8_t>(row.message[6 + 3 * led + 1]));
                EXPECT_EQ(leds[3 * led + 1], static_cast<std::uint8_t>(row.message[6 + 3 * led]));
                EXPECT_EQ(leds[3 * led + 2],
                          static_cast<std::uint8_t>(row.message[6 + 3 * led + 2]));
            }
        }
        for (std::size_t k = 1; k < arrived.at.size(); ++k) {
            EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(arrived.at[k] -
                                                                            arrived.at[k - 1])
                          .count(),
                      row.delay_ms / 2)
                << "frame " << k;
        }
        EXPECT_GE(std::stoi(test::read_file(test::scratch() / "tool.ms")),
                  row.frames * row.delay_ms);
        EXPECT_EQ(test::read_file(test::scratch() / "tool.status"), "0\n");
        EXPECT_EQ(test::read_file(test::scratch() / "tool.err"), "");
        termios after{};
        tcgetattr(port, &after);
        EXPECT_EQ(after.c_lflag, before.c_lflag);
        EXPECT_EQ(after.c_oflag, before.c_oflag);
        EXPECT_EQ(after.c_iflag, before.c_iflag);
        close(port);
        close(terminal);
        std::filesystem::remove(test::scratch() / "tool.status");
    }
    // A port that is not there is refused, with the reason.
    const test::Run missing = test::run_tool("--send=/nonexistent/port " + image);
    EXPECT_EQ(missing.out, "Serial port not opened!\n");
    EXPECT_EQ(missing.status, 255);
    EXPECT_EQ(missing.err, "tivrano: /nonexistent/port: cannot open: No such file or directory\n");
}

} // namespace
