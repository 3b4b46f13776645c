#pragma once
// Drives a simulated amplifier by hand-stepped time and decodes its frames as the console does.
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "link/Frames.h"
#include "sim/SimAmplifier.h"
#include "support/TestAmp.h"

namespace kaldor::test {

// A status frame checked as the receiver checks it (sync, length, checksum, type), then decoded.
inline ::testing::AssertionResult DecodeFrame(const std::vector<uint8_t>& frame, AmpStatus& status) {
    if (frame.size() != 34) return ::testing::AssertionFailure() << "frame of " << frame.size() << " bytes";
    if (frame[0] != StatusSync || frame[1] != StatusSync || frame[2] != StatusPayloadLength)
        return ::testing::AssertionFailure() << "bad sync or length";
    if (Checksum(frame.data() + 3, 30) != frame[33]) return ::testing::AssertionFailure() << "bad checksum";
    if ((frame[3] >> 4) != StatusFrameType) return ::testing::AssertionFailure() << "bad type";
    DecodeStatusPayload(frame.data() + 3, status);
    return ::testing::AssertionSuccess();
}

struct SimBench {
    explicit SimBench(sim::SimOptions options = {}) : amp(options, t) {}

    void Send(const std::vector<uint8_t>& bytes) { amp.Receive(bytes.data(), bytes.size(), t); }
    void Press(Key key) {
        t += 0.01;
        Send(FrameBytes(KeyFrame(key)));
    }
    void Press(const std::vector<Key>& keys) {
        for (Key k : keys) Press(k);
    }
    // Polls at time to; returns the frame, if one was due.
    std::vector<uint8_t> PollAt(double to) {
        t = to;
        return amp.Poll(t);
    }
    // The next status frame, decoded; fails the test when none comes within a second.
    const AmpStatus& Next() {
        for (int i = 0; i < 100; ++i) {
            auto frame = PollAt(t + 0.01);
            if (!frame.empty()) {
                EXPECT_TRUE(DecodeFrame(frame, status));
                return status;
            }
        }
        ADD_FAILURE() << "no status frame";
        return status;
    }
    // Frames sent from now until end, polled every 10 ms.
    int FramesUntil(double end) {
        int n = 0;
        while (t < end - 1e-9) n += !PollAt(t + 0.01).empty();
        return n;
    }

    double t = 100.0;
    sim::SimAmplifier amp;
    AmpStatus status;
};

} // namespace kaldor::test
