// Sequencing: the tick clock, row reading, cells and note triggers.
#include "xm/Sequencer.h"

#include "xm/Voices.h"

namespace {

const Cell kEmptyCell = {0, 0, 0, 0, 0};

constexpr uint32_t kMissingPatternRows = 64;
constexpr uint8_t kKeyOffNote = 97;
constexpr uint8_t kMaxVisits = 255;

bool isTonePortamento(const Cell& cell) {
    return cell.effect == 3 || cell.effect == 5 || cell.volumeColumn >= 0xF0;
}

bool isNoteDelay(const Cell& cell) { return cell.effect == 14 && (cell.param >> 4) == 0xD; }

float sampleNote(const Sample& sample, uint8_t cellNote) {
    return float(cellNote) + float(sample.relativeNote) + float(sample.finetune) / 128.0f - 1.0f;
}

// Moves on to order position `order` (wrapped to the restart position past
// the song's end), at the row a pattern break asked for or else row 0.
void enterOrder(ModulePlayer* player, uint8_t order) {
    player->orderIndex = order;
    if (player->orderIndex >= player->songLength) player->orderIndex = restartOrder(player);
    player->row = player->jumpRow;
    player->jumpRow = 0;
}

}  // namespace

uint8_t restartOrder(const ModulePlayer* player) {
    uint8_t restart = static_cast<uint8_t>(player->restartPosition & 0xFF);
    return restart < player->songLength ? restart : 0;
}

void cutNote(Channel& channel) { channel.volume = 0.0f; }

void keyOff(Channel& channel) {
    channel.sustained = false;
    if (!channel.instrument || !channel.instrument->volumeEnvelope.enabled) cutNote(channel);
}

void triggerNote(ModulePlayer* player, Channel& channel, uint32_t flags) {
    if (!(flags & KeepPosition)) {
        channel.position = 0.0f;
        channel.forward = true;
    }
    if (channel.sample) {
        if (!(flags & KeepVolume)) channel.volume = channel.sample->volume;
        channel.panning = channel.sample->panning;
    }
    if (!(flags & KeepEnvelope)) {
        channel.sustained = true;
        channel.fadeoutVolume = 1.0f;
        channel.envelopeVolume = 1.0f;
        channel.envelopePanning = 0.5f;
        channel.volumeEnvelopeTick = 0;
        channel.panningEnvelopeTick = 0;
    }
    channel.vibratoOffset = 0.0f;
    channel.tremoloVolume = 0.0f;
    channel.tremorMuted = false;
    channel.autoVibratoTicks = 0;
    if (channel.vibratoRetrigger) channel.vibratoTicks = 0;
    if (channel.tremoloRetrigger) channel.tremoloTicks = 0;
    if (!(flags & KeepPeriod)) {
        channel.period = notePeriod(player, channel.note);
        updateFrequency(player, channel);
    }
}

void handleCell(ModulePlayer* player, Channel& channel, const Cell& cell) {
    bool tonePortamento = channel.cell && isTonePortamento(*channel.cell);

    if (cell.instrument > 0) {
        if (tonePortamento && channel.instrument && channel.sample) {
            triggerNote(player, channel, KeepPeriod | KeepPosition);
        } else if (cell.note == 0 && channel.sample) {
            triggerNote(player, channel, KeepPosition);
        } else if (cell.instrument > player->instrumentCount) {
            cutNote(channel);
            channel.instrument = nullptr;
            channel.sample = nullptr;
        } else {
            channel.instrument = &player->instruments[cell.instrument - 1];
        }
    }

    if (cell.note >= 1 && cell.note <= 96) {
        if (tonePortamento && channel.instrument && channel.sample) {
            channel.note = sampleNote(*channel.sample, cell.note);
            channel.tonePortaTarget = notePeriod(player, channel.note);
        } else if (!channel.instrument || channel.instrument->sampleCount == 0) {
            cutNote(channel);
        } else {
            uint8_t index = channel.instrument->noteSample[cell.note - 1];
            if (index >= channel.instrument->sampleCount) {
                cutNote(channel);
            } else {
                // The old note's next frames fade out under the new one.
                for (uint32_t i = 0; i < kRampFrames; ++i) channel.rampTail[i] = nextSampleValue(channel);
                channel.rampFrame = 0;
                channel.sample = &channel.instrument->samples[index];
                channel.note = channel.baseNote = sampleNote(*channel.sample, cell.note);
                triggerNote(player, channel, cell.instrument > 0 ? 0u : uint32_t(KeepVolume));
            }
        }
    } else if (cell.note == kKeyOffNote) {
        keyOff(channel);
    }

    volumeColumnTickZero(player, channel, cell);
    effectTickZero(player, channel, cell);
}

void advanceRow(ModulePlayer* player) {
    if (player->jumpPending || player->breakPending) {
        uint8_t next = player->jumpPending ? player->jumpOrder : static_cast<uint8_t>(player->orderIndex + 1);
        player->jumpPending = player->breakPending = false;
        enterOrder(player, next);
    }

    uint8_t patternIndex = player->orderTable[player->orderIndex];
    const Pattern* pattern = patternIndex < player->patternCount ? &player->patterns[patternIndex] : nullptr;
    uint32_t rowCount = pattern ? pattern->rowCount : kMissingPatternRows;
    // A row the pattern lacks (a break past its end, a pattern of no rows)
    // plays as empty cells.
    const Cell* rowCells =
        pattern && player->row < pattern->rowCount ? pattern->cells + uint64_t(player->row) * player->channelCount
                                                   : nullptr;

    for (uint32_t c = 0; c < player->channelCount; ++c) {
        Channel& channel = player->channels[c];
        const Cell& cell = rowCells ? rowCells[c] : kEmptyCell;
        channel.cell = &cell;
        if (isNoteDelay(cell)) channel.noteDelay = cell.param & 0x0F;
        else handleCell(player, channel, cell);
    }

    bool insideLoop = false;
    for (uint32_t c = 0; c < player->channelCount; ++c) insideLoop |= player->channels[c].patternLoopCount > 0;
    // With no order positions there are no counters: such a song is never
    // counted as looped. Counters stop at 255 so that a silenced song stays
    // silent instead of coming back after 255 more passes.
    if (!insideLoop && player->songLength > 0) {
        uint8_t& visits = player->rowVisits[uint32_t(player->orderIndex) * 256 + player->row];
        player->loopCount = visits;
        if (visits < kMaxVisits) ++visits;
    }

    player->row = static_cast<uint8_t>(player->row + 1);
    if (!player->jumpPending && !player->breakPending && (player->row >= rowCount || player->row == 0))
        enterOrder(player, static_cast<uint8_t>(player->orderIndex + 1));
}

void runTick(ModulePlayer* player) {
    if (player->tick == 0) advanceRow(player);

    for (uint32_t c = 0; c < player->channelCount; ++c) {
        Channel& channel = player->channels[c];
        const Cell& cell = channel.cell ? *channel.cell : kEmptyCell;
        stepEnvelopes(channel);
        autoVibrato(player, channel);
        if (channel.arpeggioActive && (cell.effect != 0 || cell.param == 0)) {
            channel.arpeggioActive = false;
            channel.arpeggioOffset = 0;
            updateFrequency(player, channel);
        }
        if (channel.vibratoActive && cell.effect != 4 && cell.effect != 6 && (cell.volumeColumn >> 4) != 0xB) {
            channel.vibratoActive = false;
            channel.vibratoOffset = 0.0f;
            updateFrequency(player, channel);
        }
        volumeColumnTick(player, channel, cell);
        effectTick(player, channel, cell);
        computeTargetGains(channel);
    }

    player->tick = static_cast<uint16_t>(player->tick + 1);
    if (uint32_t(player->tick) >= uint32_t(player->tempo) + player->patternDelayTicks) {
        player->tick = 0;
        player->patternDelayTicks = 0;
    }
    player->samplesLeftInTick += float(player->sampleRate) / (float(player->bpm) * 0.4f);
}
