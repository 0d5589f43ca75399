#include "InstrumentReader.h"

#include <cmath>
#include <cstdio>

namespace {

struct Reader {
  const SourceFile& file;
  std::string& error;
  const SourceLine* line = nullptr;

  bool fail(const std::string& message) {
    error = sourceError(file, line ? line->number : 0, message);
    return false;
  }

  bool real(size_t index, double minValue, double maxValue, double& value) {
    const std::string& key = line->tokens[0];
    if (index >= line->tokens.size()) return fail("'" + key + "' needs a value");
    if (!parseReal(line->tokens[index], value))
      return fail("'" + line->tokens[index] + "' is not a number");
    if (value < minValue || value > maxValue)
      return fail("'" + line->tokens[index] + "' is outside " + trim(minValue) + ".." +
                  trim(maxValue));
    return true;
  }

  bool integer(size_t index, long long minValue, long long maxValue, long long& value) {
    const std::string& key = line->tokens[0];
    if (index >= line->tokens.size()) return fail("'" + key + "' needs a value");
    if (!parseInteger(line->tokens[index], value))
      return fail("'" + line->tokens[index] + "' is not a whole number");
    if (value < minValue || value > maxValue)
      return fail("'" + line->tokens[index] + "' is outside " + std::to_string(minValue) +
                  ".." + std::to_string(maxValue));
    return true;
  }

  static std::string trim(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
  }
};

bool parseWave(const std::string& name, Wave& wave) {
  static const struct { const char* name; Wave wave; } kWaves[] = {
      {"sine", Wave::Sine},     {"triangle", Wave::Triangle}, {"saw", Wave::Saw},
      {"square", Wave::Square}, {"pulse", Wave::Pulse},       {"noise", Wave::Noise}};
  for (const auto& w : kWaves) {
    if (name == w.name) {
      wave = w.wave;
      return true;
    }
  }
  return false;
}

bool readLayer(Reader& r, SynthLayer& layer) {
  const auto& t = r.line->tokens;
  if (t.size() < 2) return r.fail("'layer' needs a wave: sine, triangle, saw, square, pulse or noise");
  if (!parseWave(t[1], layer.wave)) return r.fail("unknown wave '" + t[1] + "'");
  layer.line = r.line->number;
  bool haveTo = false, haveCutoffTo = false;
  for (size_t i = 2; i < t.size(); i += 2) {
    const std::string& key = t[i];
    if (i + 1 >= t.size()) return r.fail("layer setting '" + key + "' needs a value");
    double v = 0.0;
    long long n = 0;
    if (key == "hz") {
      if (!r.real(i + 1, 1.0, 100000.0, v)) return false;
      layer.freqStart = v;
    } else if (key == "to") {
      if (!r.real(i + 1, 1.0, 100000.0, v)) return false;
      layer.freqEnd = v;
      haveTo = true;
    } else if (key == "glide") {
      if (!r.real(i + 1, 0.0, 60.0, v)) return false;
      layer.freqTime = v;
    } else if (key == "cycles") {
      if (!r.integer(i + 1, 1, 100000, n)) return false;
      layer.cycles = static_cast<int>(n);
    } else if (key == "duty") {
      if (!r.real(i + 1, 0.01, 0.99, v)) return false;
      layer.duty = v;
    } else if (key == "amp") {
      if (!r.real(i + 1, -16.0, 16.0, v)) return false;
      layer.amp = v;
    } else if (key == "delay") {
      if (!r.real(i + 1, 0.0, 60.0, v)) return false;
      layer.delay = v;
    } else if (key == "attack") {
      if (!r.real(i + 1, 0.0, 60.0, v)) return false;
      layer.attack = v;
    } else if (key == "hold") {
      if (!r.real(i + 1, 0.0, 60.0, v)) return false;
      layer.hold = v;
    } else if (key == "decay") {
      if (!r.real(i + 1, 0.0, 60.0, v)) return false;
      layer.decay = v;
    } else if (key == "lowpass" || key == "highpass" || key == "bandpass") {
      if (!r.real(i + 1, 1.0, 100000.0, v)) return false;
      layer.filter = key == "lowpass"    ? FilterKind::LowPass
                     : key == "highpass" ? FilterKind::HighPass
                                         : FilterKind::BandPass;
      layer.cutoffStart = v;
    } else if (key == "cutoff-to") {
      if (!r.real(i + 1, 1.0, 100000.0, v)) return false;
      layer.cutoffEnd = v;
      haveCutoffTo = true;
    } else if (key == "cutoff-glide") {
      if (!r.real(i + 1, 0.0, 60.0, v)) return false;
      layer.cutoffTime = v;
    } else if (key == "q") {
      if (!r.real(i + 1, 0.1, 50.0, v)) return false;
      layer.resonance = v;
    } else {
      return r.fail("unknown layer setting '" + key + "'");
    }
  }
  if (!haveTo) layer.freqEnd = layer.freqStart;
  if (!haveCutoffTo) layer.cutoffEnd = layer.cutoffStart;
  if (haveCutoffTo && layer.filter == FilterKind::None)
    return r.fail("'cutoff-to' without a filter (lowpass, highpass or bandpass)");
  return true;
}

bool readEnvelope(Reader& r, EnvelopeDef& env) {
  const auto& t = r.line->tokens;
  if (t.size() < 2) return r.fail("'" + t[0] + "' needs points written tick:value");
  if (t.size() - 1 > 12) return r.fail("an envelope has at most 12 points");
  env.ticks.clear();
  env.values.clear();
  for (size_t i = 1; i < t.size(); ++i) {
    size_t colon = t[i].find(':');
    long long tick = 0, value = 0;
    if (colon == std::string::npos || !parseInteger(t[i].substr(0, colon), tick) ||
        !parseInteger(t[i].substr(colon + 1), value))
      return r.fail("envelope point '" + t[i] + "' is not tick:value");
    if (tick < 0 || tick > 65535) return r.fail("envelope tick " + std::to_string(tick) + " is outside 0..65535");
    if (value < 0 || value > 64) return r.fail("envelope value " + std::to_string(value) + " is outside 0..64");
    if (!env.ticks.empty() && tick <= env.ticks.back())
      return r.fail("envelope ticks must increase");
    if (env.ticks.empty() && tick != 0) return r.fail("an envelope starts at tick 0");
    env.ticks.push_back(static_cast<uint16_t>(tick));
    env.values.push_back(static_cast<uint16_t>(value));
  }
  // Trackers treat an envelope as a line between points.
  if (env.ticks.size() < 2) return r.fail("an envelope needs at least 2 points");
  return true;
}

bool parseWaveformByte(const std::string& name, uint8_t& type) {
  // The byte as the module stores it: 0 sine, 1 square, 2 ramp down, 3 ramp up.
  if (name == "sine") type = 0;
  else if (name == "square") type = 1;
  else if (name == "rampdown") type = 2;
  else if (name == "rampup") type = 3;
  else return false;
  return true;
}

bool finishInstrument(Reader& r, InstrumentDef& inst, int endLine) {
  auto failAt = [&](const std::string& message) {
    r.error = sourceError(r.file, endLine, "instrument " + std::to_string(inst.number) + ": " + message);
    return false;
  };
  SynthPatch& p = inst.patch;
  if (p.layers.empty()) return failAt("has no layer");
  bool looped = p.loopFrames != 0;
  if (looped == (p.seconds > 0.0)) return failAt("give either 'length' (one-shot) or 'loop' (looped)");
  for (const SynthLayer& layer : p.layers) {
    if (looped && layer.wave != Wave::Noise && layer.cycles == 0) {
      r.error = sourceError(r.file, layer.line, "a layer of a looped instrument needs 'cycles'");
      return false;
    }
    if (!looped && layer.wave != Wave::Noise && layer.freqStart <= 0.0) {
      r.error = sourceError(r.file, layer.line, "a layer of a one-shot instrument needs 'hz'");
      return false;
    }
    if (looped && (layer.freqStart > 0.0 || layer.decay > 0.0 || layer.attack > 0.0 ||
                   layer.delay > 0.0 || layer.cutoffEnd != layer.cutoffStart)) {
      r.error = sourceError(r.file, layer.line,
                            "a looped layer cannot change over time (no hz, attack, decay, delay or cutoff-to)");
      return false;
    }
  }
  auto checkEnvelope = [&](const EnvelopeDef& env, const char* what) {
    int count = static_cast<int>(env.ticks.size());
    if (env.sustainPoint >= count || env.loopEnd >= count)
      return failAt(std::string(what) + " sustain or loop point beyond its last point");
    if (env.loopStart > env.loopEnd) return failAt(std::string(what) + " loop starts after it ends");
    return true;
  };
  if (!checkEnvelope(inst.volumeEnvelope, "volume envelope")) return false;
  if (!checkEnvelope(inst.panningEnvelope, "panning envelope")) return false;
  if (inst.pingPong && !looped) return failAt("'pingpong' needs a looped instrument");
  if (looped && inst.hasRate) return failAt("a looped instrument takes its rate from 'root' and 'loop'; drop 'rate'");
  if (inst.volumeEnvelope.ticks.empty() && inst.volumeEnvelope.sustainPoint >= 0)
    return failAt("'sustain' without an 'envelope'");
  if (inst.panningEnvelope.ticks.empty() && inst.panningEnvelope.sustainPoint >= 0)
    return failAt("'pansustain' without a 'panenvelope'");
  if ((inst.volumeEnvelope.ticks.empty() && inst.volumeEnvelope.loopStart >= 0) ||
      (inst.panningEnvelope.ticks.empty() && inst.panningEnvelope.loopStart >= 0))
    return failAt("an envelope loop without its envelope");
  return true;
}

}  // namespace

bool readInstruments(const SourceFile& file, std::vector<InstrumentDef>& out, std::string& error) {
  Reader r{file, error};
  out.clear();
  InstrumentDef* current = nullptr;
  for (const SourceLine& line : file.lines) {
    r.line = &line;
    const auto& t = line.tokens;
    const std::string& key = t[0];
    double v = 0.0;
    long long n = 0;
    if (key == "instrument") {
      if (current) return r.fail("instrument " + std::to_string(current->number) + " lacks its 'end'");
      if (!r.integer(1, 1, 128, n)) return false;
      if (n != static_cast<long long>(out.size()) + 1)
        return r.fail("instruments are numbered 1, 2, 3... in order; expected " +
                      std::to_string(out.size() + 1));
      if (t.size() != 3) return r.fail("write: instrument <number> \"<name>\"");
      if (t[2].size() > 22) return r.fail("the name is longer than 22 characters");
      out.emplace_back();
      current = &out.back();
      current->number = static_cast<int>(n);
      current->name = t[2];
      current->line = line.number;
      continue;
    }
    if (!current) return r.fail("'" + key + "' outside an instrument block");
    SynthPatch& p = current->patch;
    if (key == "end") {
      if (t.size() != 1) return r.fail("'end' takes nothing after it");
      if (!finishInstrument(r, *current, line.number)) return false;
      current = nullptr;
    } else if (key == "layer") {
      p.layers.emplace_back();
      if (!readLayer(r, p.layers.back())) return false;
    } else if (key == "root") {
      int note = t.size() == 2 ? parseNoteName(t[1]) : 0;
      if (note == 0) return r.fail("'root' needs a note name such as C-5");
      p.rootNote = note;
    } else if (key == "rate") {
      if (!r.real(1, 1000.0, 96000.0, v)) return false;
      p.rate = v;
      current->hasRate = true;
    } else if (key == "length") {
      if (!r.real(1, 0.001, 10.0, v)) return false;
      p.seconds = v;
    } else if (key == "loop") {
      if (t.size() != 4 || t[2] != "cycles") return r.fail("write: loop <frames> cycles <count>");
      if (!r.integer(1, 2, 65536, n)) return false;
      p.loopFrames = static_cast<uint32_t>(n);
      if (!r.integer(3, 1, 65536, n)) return false;
      p.loopCycles = static_cast<int>(n);
    } else if (key == "seed") {
      if (!r.integer(1, 1, 0xFFFFFFFFll, n)) return false;
      p.seed = static_cast<uint32_t>(n);
    } else if (key == "drive") {
      if (!r.real(1, 0.0, 50.0, v)) return false;
      p.drive = v;
    } else if (key == "level") {
      if (!r.real(1, 0.01, 1.0, v)) return false;
      p.level = v;
    } else if (key == "tail") {
      if (!r.real(1, 0.0, 1.0, v)) return false;
      p.fadeOut = v;
    } else if (key == "volume") {
      if (!r.integer(1, 0, 64, n)) return false;
      current->volume = static_cast<uint8_t>(n);
    } else if (key == "panning") {
      if (!r.integer(1, 0, 255, n)) return false;
      current->panning = static_cast<uint8_t>(n);
    } else if (key == "envelope") {
      if (!readEnvelope(r, current->volumeEnvelope)) return false;
    } else if (key == "panenvelope") {
      if (!readEnvelope(r, current->panningEnvelope)) return false;
    } else if (key == "sustain" || key == "pansustain") {
      if (!r.integer(1, 0, 11, n)) return false;
      (key == "sustain" ? current->volumeEnvelope : current->panningEnvelope).sustainPoint = static_cast<int>(n);
    } else if (key == "envloop" || key == "panloop") {
      EnvelopeDef& env = key == "envloop" ? current->volumeEnvelope : current->panningEnvelope;
      if (!r.integer(1, 0, 11, n)) return false;
      env.loopStart = static_cast<int>(n);
      if (!r.integer(2, 0, 11, n)) return false;
      env.loopEnd = static_cast<int>(n);
    } else if (key == "fadeout") {
      if (!r.integer(1, 0, 4095, n)) return false;
      current->fadeout = static_cast<uint16_t>(n);
    } else if (key == "autovibrato") {
      if (t.size() != 5 || !parseWaveformByte(t[1], current->vibratoType))
        return r.fail("write: autovibrato <sine|square|rampdown|rampup> <sweep> <depth> <rate>");
      if (!r.integer(2, 0, 255, n)) return false;
      current->vibratoSweep = static_cast<uint8_t>(n);
      if (!r.integer(3, 0, 15, n)) return false;
      current->vibratoDepth = static_cast<uint8_t>(n);
      if (!r.integer(4, 0, 63, n)) return false;
      current->vibratoRate = static_cast<uint8_t>(n);
    } else if (key == "pingpong") {
      current->pingPong = true;
    } else {
      return r.fail("unknown setting '" + key + "'");
    }
    if (key != "layer" && key != "instrument" && key != "end") {
      // Settings take a fixed number of values; catch stray extras.
      size_t expected = key == "envelope" || key == "panenvelope" ? t.size()
                        : key == "loop" || key == "autovibrato"    ? t.size()
                        : key == "envloop" || key == "panloop"     ? 3
                        : key == "pingpong"                        ? 1
                                                                   : 2;
      if (t.size() != expected) return r.fail("'" + key + "' has extra values");
    }
  }
  if (current) {
    r.line = nullptr;
    error = sourceError(file, current->line, "instrument " + std::to_string(current->number) + " lacks its 'end'");
    return false;
  }
  if (out.empty()) {
    error = file.path + ": no instruments";
    return false;
  }
  return true;
}
