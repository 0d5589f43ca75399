// Shared helpers for the replayer tests: owning handles and a few probes.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "XmWriter.h"
#include "xm/Loader.h"
#include "xm/PlayerRecords.h"
#include "xm/Sequencer.h"
#include "xm/Voices.h"

namespace xmtest {

struct PlayerDeleter {
    void operator()(ModulePlayer* player) const { freePlayer(player); }
};
using PlayerPtr = std::unique_ptr<ModulePlayer, PlayerDeleter>;

inline PlayerPtr loadPlayer(const std::vector<uint8_t>& bytes, uint32_t rate = 44100) {
    ModulePlayer* player = nullptr;
    int32_t result = createPlayer(&player, bytes.data(), bytes.size(), rate);
    EXPECT_EQ(result, kPlayerOk);
    return PlayerPtr(result == kPlayerOk ? player : nullptr);
}

inline std::vector<float> render(ModulePlayer* player, uint64_t frames) {
    std::vector<float> out(2 * frames + 2, 1234.0f);
    generateFrames(player, out.data(), frames);
    out.resize(2 * frames);
    return out;
}

// Runs ticks until the song position reaches the given tick count.
inline void runTicks(ModulePlayer* player, uint32_t ticks) {
    for (uint32_t i = 0; i < ticks; ++i) runTick(player);
}

inline uint32_t bitsOf(float value) {
    uint32_t bits;
    memcpy(&bits, &value, 4);
    return bits;
}

}  // namespace xmtest
