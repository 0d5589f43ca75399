// Writes an Extended Module (XM 1.04): module header, packed patterns,
// instruments with one delta-encoded 8-bit sample each.
#pragma once

#include <cstdint>
#include <vector>

#include "SongData.h"

std::vector<uint8_t> writeXm(const ScoreDef& score, const std::vector<InstrumentDef>& instruments);

// Packs one pattern's cells the way trackers store them: a cell with
// every field present is five raw bytes, any other starts with a mask byte.
std::vector<uint8_t> packPattern(const PatternDef& pattern);
