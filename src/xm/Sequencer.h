// Sequencing: ticks, rows, cells, notes and the effect commands.
#pragma once

#include <cstdint>

#include "xm/PlayerRecords.h"

enum TriggerFlags : uint32_t {
    KeepVolume = 1,
    KeepPeriod = 2,
    KeepPosition = 4,
    KeepEnvelope = 8,
};

extern const float kRetrigAdd[16];
extern const float kRetrigMultiply[16];

// One tick: reads the row on tick 0, runs every channel's tick, and adds the
// tick's length to samplesLeftInTick.
void runTick(ModulePlayer* player);
void advanceRow(ModulePlayer* player);
void handleCell(ModulePlayer* player, Channel& channel, const Cell& cell);
void triggerNote(ModulePlayer* player, Channel& channel, uint32_t flags);
void cutNote(Channel& channel);
void keyOff(Channel& channel);

// Effect commands (Effects.cpp).
void volumeSlide(Channel& channel, uint8_t param);
void panningSlide(Channel& channel, uint8_t param);
void pitchSlide(ModulePlayer* player, Channel& channel, int32_t amount);
void tonePortamentoStep(ModulePlayer* player, Channel& channel);
void vibratoStep(ModulePlayer* player, Channel& channel, uint8_t param);
void volumeColumnTickZero(ModulePlayer* player, Channel& channel, const Cell& cell);
void volumeColumnTick(ModulePlayer* player, Channel& channel, const Cell& cell);
void effectTickZero(ModulePlayer* player, Channel& channel, const Cell& cell);
void effectTick(ModulePlayer* player, Channel& channel, const Cell& cell);

// The order position that follows the last one. A restart position outside the
// song (or a song of no positions) falls back to position 0, so rowVisits is
// never indexed outside its counters.
uint8_t restartOrder(const ModulePlayer* player);
