// The module as songc builds it: instruments with their synthesis patches
// and rendered samples, and the score's patterns and order list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class Wave { Sine, Triangle, Saw, Square, Pulse, Noise };
enum class FilterKind { None, LowPass, HighPass, BandPass };

// One oscillator or noise source of a patch, with its own amplitude
// envelope and filter. Frequencies glide exponentially from start to end.
struct SynthLayer {
  Wave wave = Wave::Sine;
  double freqStart = 0.0;   // Hz (one-shot patches)
  double freqEnd = 0.0;
  double freqTime = 0.0;    // glide time constant in seconds, 0 = no glide
  int cycles = 0;           // looped patches: whole cycles over the loop
  double duty = 0.5;        // pulse width
  double amp = 1.0;
  double delay = 0.0;       // seconds of silence before the layer starts
  double attack = 0.0;      // seconds, linear rise
  double hold = 0.0;        // seconds at full level after the attack
  double decay = 0.0;       // exponential time constant in seconds, 0 = sustain
  FilterKind filter = FilterKind::None;
  double cutoffStart = 0.0; // Hz
  double cutoffEnd = 0.0;
  double cutoffTime = 0.0;
  double resonance = 0.707; // filter Q
  int line = 0;
};

struct SynthPatch {
  double rate = 16726.0;     // sample frames per second when played at the root note
  int rootNote = 61;         // 1..96, C-5 = 61
  double seconds = 0.0;      // one-shot length
  uint32_t loopFrames = 0;   // looped patches: the whole sample is one seamless loop
  int loopCycles = 0;        // cycles of the root pitch within the loop
  uint32_t seed = 1;
  double drive = 0.0;        // tanh saturation amount, 0 = clean
  double level = 0.97;       // peak after normalisation, fraction of full scale
  double fadeOut = 0.004;    // seconds of fade at a one-shot's end
  std::vector<SynthLayer> layers;
};

struct EnvelopeDef {
  std::vector<uint16_t> ticks;
  std::vector<uint16_t> values;
  int sustainPoint = -1;
  int loopStart = -1;
  int loopEnd = -1;
};

struct InstrumentDef {
  int number = 0;
  std::string name;
  int line = 0;
  SynthPatch patch;
  uint8_t volume = 64;
  uint8_t panning = 128;
  EnvelopeDef volumeEnvelope;
  EnvelopeDef panningEnvelope;
  uint16_t fadeout = 0;
  uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
  bool pingPong = false;
  bool hasRate = false;       // 'rate' was given

  // Filled by the synthesiser.
  std::vector<int8_t> sample;
  uint32_t loopStart = 0;
  uint32_t loopLength = 0;    // 0 = no loop
  int8_t relativeNote = 0;
  int8_t finetune = 0;
};

struct CellDef {
  uint8_t note = 0, instrument = 0, volume = 0, effect = 0, param = 0;
};

struct PatternDef {
  std::string name;
  int line = 0;
  int rowCount = 0;
  std::vector<CellDef> cells;  // rowCount x channels, row-major
  std::vector<int> rowLines;   // source line of each row
};

struct ScoreDef {
  std::string title = "untitled";
  std::string tracker = "songc";
  int channels = 4;
  int tempo = 6;
  int bpm = 125;
  int restart = 0;
  bool linear = true;
  std::vector<uint8_t> order;
  std::vector<PatternDef> patterns;
};
