#include "Synth.h"

#include <algorithm>
#include <cmath>

namespace {

const double kPi = 3.14159265358979323846;

struct Random {
  uint32_t state;
  explicit Random(uint32_t seed) : state(seed ? seed : 0x9E3779B9u) {}  // xorshift sticks at 0
  double next() {  // white noise in -1..1
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<double>(state) / 2147483648.0 - 1.0;
  }
};

// Band-limited waves as sums of harmonics below `limit` (in cycles per
// frame), so the sample itself carries no aliasing.
double bandLimited(Wave wave, double phase, double freq, double limit, double duty) {
  // The cap keeps very low pitches affordable; it lies far above what any
  // instrument of the song needs.
  int harmonics = freq > 0.0 ? static_cast<int>(std::min(limit / freq, 400.0)) : 0;
  if (harmonics < 1) harmonics = 1;
  double sum = 0.0;
  double angle = 2.0 * kPi * phase;
  switch (wave) {
    case Wave::Sine:
      return std::sin(angle);
    case Wave::Saw:
      for (int k = 1; k <= harmonics; ++k) sum += std::sin(k * angle) / k;
      return sum * (2.0 / kPi);
    case Wave::Square:
      for (int k = 1; k <= harmonics; k += 2) sum += std::sin(k * angle) / k;
      return sum * (4.0 / kPi);
    case Wave::Triangle:
      for (int k = 1; k <= harmonics; k += 2)
        sum += ((k / 2) % 2 ? -1.0 : 1.0) * std::sin(k * angle) / (double(k) * k);
      return sum * (8.0 / (kPi * kPi));
    case Wave::Pulse: {
      // Difference of two saws, duty apart.
      double shifted = 2.0 * kPi * (phase - duty);
      for (int k = 1; k <= harmonics; ++k) sum += (std::sin(k * angle) - std::sin(k * shifted)) / k;
      return sum * (1.0 / kPi);
    }
    case Wave::Noise:
      break;
  }
  return 0.0;
}

// Topology-preserving state-variable filter (trapezoidal integration):
// stays stable while its cutoff moves.
struct StateVariableFilter {
  double ic1 = 0.0, ic2 = 0.0;
  double process(FilterKind kind, double input, double cutoff, double rate, double q) {
    double fc = std::min(cutoff, rate * 0.49);
    double g = std::tan(kPi * fc / rate);
    double k = 1.0 / q;
    double a1 = 1.0 / (1.0 + g * (g + k));
    double a2 = g * a1;
    double a3 = g * a2;
    double v3 = input - ic2;
    double v1 = a1 * ic1 + a2 * v3;
    double v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = 2.0 * v1 - ic1;
    ic2 = 2.0 * v2 - ic2;
    switch (kind) {
      case FilterKind::LowPass: return v2;
      case FilterKind::BandPass: return v1;
      case FilterKind::HighPass: return input - k * v1 - v2;
      case FilterKind::None: break;
    }
    return input;
  }
};

double glide(double start, double end, double timeConstant, double t) {
  if (timeConstant <= 0.0 || start == end) return start;
  return end + (start - end) * std::exp(-t / timeConstant);
}

double envelopeAt(const SynthLayer& layer, double t) {
  t -= layer.delay;
  if (t < 0.0) return 0.0;
  if (layer.attack > 0.0 && t < layer.attack) return t / layer.attack;
  t -= layer.attack + layer.hold;
  if (t <= 0.0 || layer.decay <= 0.0) return 1.0;
  return std::exp(-t / layer.decay);
}

// One-shot: every layer runs over the patch's length with its glides and
// envelopes.
void renderOneShot(const SynthPatch& patch, std::vector<double>& out) {
  size_t frames = static_cast<size_t>(std::lround(patch.seconds * patch.rate));
  out.assign(std::max<size_t>(frames, 1), 0.0);
  const double limit = 0.45;
  for (size_t li = 0; li < patch.layers.size(); ++li) {
    const SynthLayer& layer = patch.layers[li];
    Random random(patch.seed * 2654435761u + static_cast<uint32_t>(li) * 40503u + 1u);
    StateVariableFilter filter;
    double phase = 0.0;
    for (size_t i = 0; i < out.size(); ++i) {
      double t = static_cast<double>(i) / patch.rate;
      double local = std::max(0.0, t - layer.delay);
      double value;
      if (layer.wave == Wave::Noise) {
        value = random.next();
      } else {
        double freq = glide(layer.freqStart, layer.freqEnd, layer.freqTime, local) / patch.rate;
        value = bandLimited(layer.wave, phase, freq, limit, layer.duty);
        if (t >= layer.delay) phase += freq;
        phase -= std::floor(phase);
      }
      if (layer.filter != FilterKind::None) {
        double cutoff = glide(layer.cutoffStart, layer.cutoffEnd, layer.cutoffTime, local);
        value = filter.process(layer.filter, value, cutoff, patch.rate, layer.resonance);
      }
      out[i] += value * layer.amp * envelopeAt(layer, t);
    }
  }
}

// Looped: every layer is periodic over the loop (whole cycles, noise drawn
// from a table of the loop's length). Two loops are rendered and the
// second kept, so the filters have settled and the loop point is seamless.
void renderLooped(const SynthPatch& patch, std::vector<double>& out) {
  const size_t frames = patch.loopFrames;
  out.assign(frames, 0.0);
  const double limit = 0.45;
  for (size_t li = 0; li < patch.layers.size(); ++li) {
    const SynthLayer& layer = patch.layers[li];
    Random random(patch.seed * 2654435761u + static_cast<uint32_t>(li) * 40503u + 1u);
    std::vector<double> noise;
    if (layer.wave == Wave::Noise) {
      noise.resize(frames);
      for (double& n : noise) n = random.next();
    }
    StateVariableFilter filter;
    double freq = static_cast<double>(layer.cycles) / static_cast<double>(frames);
    for (size_t pass = 0; pass < 2; ++pass) {
      for (size_t i = 0; i < frames; ++i) {
        double value;
        if (layer.wave == Wave::Noise) {
          value = noise[i];
        } else {
          // Exact phase from the frame index keeps the cycles whole.
          double phase = std::fmod(static_cast<double>(i) * layer.cycles, static_cast<double>(frames)) /
                         static_cast<double>(frames);
          value = bandLimited(layer.wave, phase, freq, limit, layer.duty);
        }
        if (layer.filter != FilterKind::None)
          value = filter.process(layer.filter, value, layer.cutoffStart, patch.rate, layer.resonance);
        if (pass == 1) out[i] += value * layer.amp;
      }
    }
  }
}

}  // namespace

double noteFrequency(int note) { return 440.0 * std::pow(2.0, (note - 58) / 12.0); }

void tuneSample(double rate, int note, int8_t& relativeNote, int8_t& finetune) {
  // Note n plays at 8363 * 2^((n - 49 + relative + finetune/128) / 12) Hz.
  double semitones = 12.0 * std::log2(rate / 8363.0) + 49.0 - note;
  long steps = std::lround(semitones * 128.0);
  long relative = std::lround(static_cast<double>(steps) / 128.0);
  relative = std::clamp(relative, -96l, 95l);
  long fine = std::clamp(steps - relative * 128, -128l, 127l);
  relativeNote = static_cast<int8_t>(relative);
  finetune = static_cast<int8_t>(fine);
}

void renderInstrument(InstrumentDef& inst) {
  SynthPatch& patch = inst.patch;
  bool looped = patch.loopFrames != 0;
  if (looped)
    patch.rate = noteFrequency(patch.rootNote) * patch.loopFrames / patch.loopCycles;

  std::vector<double> signal;
  if (looped) {
    renderLooped(patch, signal);
  } else {
    renderOneShot(patch, signal);
  }

  if (patch.drive > 0.0) {
    double norm = std::tanh(patch.drive);
    for (double& s : signal) s = std::tanh(s * patch.drive) / norm;
  }
  double peak = 0.0;
  for (double s : signal) peak = std::max(peak, std::fabs(s));
  double scale = peak > 0.0 ? patch.level * 127.0 / peak : 0.0;

  if (!looped && patch.fadeOut > 0.0) {
    size_t fade = std::min(signal.size(), static_cast<size_t>(patch.fadeOut * patch.rate) + 1);
    for (size_t i = 0; i < fade; ++i)
      signal[signal.size() - 1 - i] *= static_cast<double>(i) / static_cast<double>(fade);
  }

  inst.sample.resize(signal.size());
  for (size_t i = 0; i < signal.size(); ++i) {
    long v = std::lround(signal[i] * scale);
    inst.sample[i] = static_cast<int8_t>(std::clamp(v, -128l, 127l));
  }
  inst.loopStart = 0;
  inst.loopLength = looped ? static_cast<uint32_t>(signal.size()) : 0;
  tuneSample(patch.rate, patch.rootNote, inst.relativeNote, inst.finetune);
}
