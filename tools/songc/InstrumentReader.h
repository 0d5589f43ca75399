// Reads the instrument file: one block per instrument giving its synthesis
// patch (layers of oscillators and noise) and its tracker settings
// (volume, panning, envelopes, fadeout, auto-vibrato).
#pragma once

#include <string>
#include <vector>

#include "SongData.h"
#include "TextInput.h"

bool readInstruments(const SourceFile& file, std::vector<InstrumentDef>& out, std::string& error);
