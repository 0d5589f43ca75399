// The player's life: creation into one allocation, the loop limit, release.
#include <cstdlib>

#include "xm/Loader.h"
#include "xm/ModulePlayer.h"

namespace {

void initialiseChannel(Channel& channel) {
    channel.forward = true;
    channel.vibratoWaveform = Sine;
    channel.tremoloWaveform = Sine;
    channel.vibratoRetrigger = true;
    channel.tremoloRetrigger = true;
    channel.volume = 1.0f;
    channel.fadeoutVolume = 1.0f;
    channel.envelopeVolume = 1.0f;
    channel.panning = 0.5f;
    channel.envelopePanning = 0.5f;
    channel.gain[0] = channel.gain[1] = 0.0f;
}

}  // namespace

int32_t createPlayer(ModulePlayer** player, const uint8_t* data, uint64_t size, uint32_t sampleRate) {
    if (checkModuleHeader(data, size) != 0) return kPlayerRejected;
    uint64_t bytes = measurePlayer(data, size);
    if (bytes > SIZE_MAX) return kPlayerOutOfMemory;
    // calloc zeroes the whole allocation, as every record expects.
    void* memory = std::calloc(1, static_cast<size_t>(bytes));
    if (!memory) return kPlayerOutOfMemory;

    ModulePlayer* created = static_cast<ModulePlayer*>(memory);
    created->allocSize = bytes;
    created->sampleRate = sampleRate;
    uint8_t* base = static_cast<uint8_t*>(memory);
    uint8_t* end = loadModule(created, data, size, base + sizeof(ModulePlayer));
    uint64_t channelsAt = alignOffset(static_cast<uint64_t>(end - base), alignof(Channel));
    created->channels = reinterpret_cast<Channel*>(base + channelsAt);
    created->rowVisits = base + channelsAt + uint64_t(created->channelCount) * sizeof(Channel);
    created->globalVolume = 1.0f;
    created->amplification = 0.25f;
    created->volumeRampStep = 1.0f / 128.0f;
    for (uint32_t c = 0; c < created->channelCount; ++c) initialiseChannel(created->channels[c]);
    *player = created;
    return kPlayerOk;
}

void setMaxLoops(ModulePlayer* player, uint8_t count) { player->maxLoops = count; }

void freePlayer(ModulePlayer* player) { std::free(player); }
