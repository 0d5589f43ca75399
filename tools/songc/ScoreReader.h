// Reads the score: song settings, the order list and the patterns written
// as rows of cells, one row per line:
//
//   pattern 0 "intro"
//   00 | C-5 01 40 ... | --- .. .. ... | ...
//
// A cell is note (C-5, C#5, "off" for key off, "---" or "..." for none),
// instrument (two hex digits or ".."), volume column (".." or 00-40 hex to
// set the volume, or a letter and a hex digit: -y slide down, +x slide up,
// dy fine down, ux fine up, sx vibrato speed, vx vibrato, px panning,
// ly/rx panning slide, mx tone portamento) and effect ("..." or the effect
// letter followed by two hex digits, e.g. E93, D00, 3ff).
#pragma once

#include <string>

#include "SongData.h"
#include "TextInput.h"

bool readScore(const SourceFile& file, ScoreDef& out, std::string& error);

// Parses one cell's text; returns false with a message on bad input.
bool parseCell(const std::string& text, CellDef& cell, std::string& message);
