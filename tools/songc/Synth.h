// Renders an instrument's synthesis patch into its 8-bit sample and tunes
// it: the root note plays the sample at the patch's rate.
#pragma once

#include "SongData.h"

// Pitch of a module note (1 = C-0, 49 = C-4 = 261.63 Hz).
double noteFrequency(int note);

// Relative note and finetune (1/128 semitone) that make `note` play the
// sample at `rate` frames per second under the linear frequency table.
void tuneSample(double rate, int note, int8_t& relativeNote, int8_t& finetune);

// Fills inst.sample, loop, relativeNote and finetune from inst.patch.
void renderInstrument(InstrumentDef& inst);
