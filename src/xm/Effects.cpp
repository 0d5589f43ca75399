// The volume-column and effect commands: what they do when the cell is read
// (tick 0 part) and on the ticks of the row (tick part).
#include "xm/Sequencer.h"
#include "xm/Voices.h"

const float kRetrigAdd[16] = {0, -1, -2, -4, -8, -16, 0, 0, 0, 1, 2, 4, 8, 16, 0, 0};
const float kRetrigMultiply[16] = {1, 1, 1, 1, 1, 1, 2.0f / 3.0f, 0.5f, 1, 1, 1, 1, 1, 1, 1.5f, 2};

namespace {

enum Effect : uint8_t {
    Arpeggio = 0,
    PortaUp = 1,
    PortaDown = 2,
    TonePorta = 3,
    Vibrato = 4,
    TonePortaVolumeSlide = 5,
    VibratoVolumeSlide = 6,
    Tremolo = 7,
    SetPanning = 8,
    SampleOffset = 9,
    VolumeSlide = 10,
    PositionJump = 11,
    SetVolume = 12,
    PatternBreak = 13,
    Extended = 14,
    SetSpeed = 15,
    SetGlobalVolume = 16,
    GlobalVolumeSlide = 17,
    KeyOffAt = 20,
    EnvelopePosition = 21,
    PanningSlide = 25,
    MultiRetrigger = 27,
    Tremor = 29,
    ExtraFinePorta = 33,
};

enum ExtendedEffect : uint8_t {
    FinePortaUp = 0x1,
    FinePortaDown = 0x2,
    VibratoControl = 0x4,
    SetFinetune = 0x5,
    PatternLoop = 0x6,
    TremoloControl = 0x7,
    Retrigger = 0x9,
    FineVolumeUp = 0xA,
    FineVolumeDown = 0xB,
    NoteCut = 0xC,
    NoteDelay = 0xD,
    PatternDelay = 0xE,
};

int32_t slideScale(const ModulePlayer* player) { return player->frequencyTable == LinearTable ? 4 : 1; }

// Stores a parameter byte, keeping the old one when the new one is 0.
void remember(uint8_t& memory, uint8_t value) {
    if (value != 0) memory = value;
}

void setNibbles(uint8_t& param, uint8_t value) {
    if (value & 0x0F) param = static_cast<uint8_t>((param & 0xF0) | (value & 0x0F));
    if (value & 0xF0) param = static_cast<uint8_t>((param & 0x0F) | (value & 0xF0));
}

void arpeggioTick(ModulePlayer* player, Channel& channel, uint8_t param) {
    uint32_t tick = player->tick;
    uint32_t phase;
    switch (player->tempo % 3) {
    case 0: phase = tick % 3; break;
    case 1: phase = tick == 0 ? 0 : (tick - 1) % 3; break;
    default: phase = tick == 0 ? 0 : tick == 1 ? 2 : (tick - 2) % 3; break;
    }
    channel.arpeggioActive = phase != 0;
    channel.arpeggioOffset = phase == 0 ? 0 : phase == 1 ? (param & 0x0F) : (param >> 4);
    updateFrequency(player, channel);
}

void tremoloTick(Channel& channel) {
    uint32_t speed = channel.tremoloParam >> 4;
    uint32_t depth = channel.tremoloParam & 0x0F;
    uint32_t step = uint32_t(channel.tremoloTicks) * speed;
    channel.tremoloTicks = static_cast<uint8_t>(channel.tremoloTicks + 1);
    channel.tremoloVolume = -1.0f * waveformValue(channel.tremoloWaveform, step) * float(depth) / 15.0f;
}

// Moves a value kept within 0..1 up by the parameter's high nibble or down by
// its low one, in steps of 1/`steps`; with both nibbles set nothing moves.
void nibbleSlide(float& value, uint8_t param, float steps) {
    uint32_t up = param >> 4;
    uint32_t down = param & 0x0F;
    if (up && down) return;
    if (up) {
        value += float(up) / steps;
        if (value > 1.0f) value = 1.0f;
    } else {
        value -= float(down) / steps;
        if (value < 0.0f) value = 0.0f;
    }
}

void multiRetriggerTick(ModulePlayer* player, Channel& channel, const Cell& cell) {
    uint32_t x = channel.retrigMemory >> 4;
    uint32_t y = channel.retrigMemory & 0x0F;
    if (y == 0 || player->tick % y != 0) return;
    triggerNote(player, channel, KeepVolume | KeepEnvelope);
    if (cell.volumeColumn == 0 && (!channel.instrument || !channel.instrument->volumeEnvelope.enabled)) {
        float volume = channel.volume * kRetrigMultiply[x] + kRetrigAdd[x] / 64.0f;
        channel.volume = volume < 0.0f ? 0.0f : volume > 1.0f ? 1.0f : volume;
    }
}

// The fine slides: one step on the row's first tick, by the parameter or,
// when it is 0, by the last one given. `direction` -1 lowers the period.
void rememberedPitchSlide(ModulePlayer* player, Channel& channel, uint8_t& memory, uint8_t value, int32_t direction) {
    remember(memory, value);
    pitchSlide(player, channel, direction * int32_t(memory));
}

void extendedTickZero(ModulePlayer* player, Channel& channel, const Cell& cell) {
    uint8_t y = cell.param & 0x0F;
    switch (cell.param >> 4) {
    case FinePortaUp:
        rememberedPitchSlide(player, channel, channel.finePortaUpMemory, y, -1);
        break;
    case FinePortaDown:
        rememberedPitchSlide(player, channel, channel.finePortaDownMemory, y, 1);
        break;
    case VibratoControl:
        channel.vibratoWaveform = static_cast<Waveform>(y & 3);
        channel.vibratoRetrigger = (y & 4) == 0;
        break;
    case SetFinetune: {
        const Cell* current = channel.cell;
        if (current && current->note >= 1 && current->note <= 96 && channel.sample) {
            channel.note = float(current->note) + float(channel.sample->relativeNote) +
                           float((int32_t(y) - 8) * 16) / 128.0f - 1.0f;
            channel.period = notePeriod(player, channel.note);
            updateFrequency(player, channel);
        }
        break;
    }
    case PatternLoop:
        if (y == 0) {
            channel.loopOrigin = player->row;
            player->jumpRow = player->row;
        } else if (y == channel.patternLoopCount) {
            channel.patternLoopCount = 0;
        } else {
            channel.patternLoopCount = static_cast<uint8_t>(channel.patternLoopCount + 1);
            player->jumpPending = true;
            player->jumpOrder = player->orderIndex;
            player->jumpRow = channel.loopOrigin;
        }
        break;
    case TremoloControl:
        channel.tremoloWaveform = static_cast<Waveform>(y & 3);
        channel.tremoloRetrigger = (y & 4) == 0;
        break;
    case FineVolumeUp:
        remember(channel.fineVolumeSlideMemory, y);
        volumeSlide(channel, static_cast<uint8_t>(channel.fineVolumeSlideMemory << 4));
        break;
    case FineVolumeDown:
        remember(channel.fineVolumeSlideMemory, y);
        volumeSlide(channel, channel.fineVolumeSlideMemory);
        break;
    case NoteDelay:
        // Reached only when the delayed cell is finally handled.
        if (cell.note == 0 && cell.instrument == 0) {
            if (y != 0) {
                channel.note = channel.baseNote;
                triggerNote(player, channel, KeepVolume);
            } else {
                triggerNote(player, channel, KeepVolume | KeepPeriod | KeepPosition);
            }
        }
        break;
    case PatternDelay:
        player->patternDelayTicks = static_cast<uint16_t>(y * player->tempo);
        break;
    default:
        break;
    }
}

void extendedTick(ModulePlayer* player, Channel& channel, const Cell& cell) {
    uint8_t y = cell.param & 0x0F;
    switch (cell.param >> 4) {
    case Retrigger:
        if (player->tick != 0 && y != 0 && player->tick % y == 0) {
            triggerNote(player, channel, KeepVolume);
            stepEnvelopes(channel);
        }
        break;
    case NoteCut:
        if (player->tick == y) cutNote(channel);
        break;
    case NoteDelay:
        if (player->tick == channel.noteDelay) {
            handleCell(player, channel, cell);
            stepEnvelopes(channel);
        }
        break;
    default:
        break;
    }
}

}  // namespace

void volumeSlide(Channel& channel, uint8_t param) { nibbleSlide(channel.volume, param, 64.0f); }

// High nibble to the right, low nibble to the left.
void panningSlide(Channel& channel, uint8_t param) { nibbleSlide(channel.panning, param, 255.0f); }

void pitchSlide(ModulePlayer* player, Channel& channel, int32_t amount) {
    channel.period += float(amount * slideScale(player));
    if (channel.period < 0.0f) channel.period = 0.0f;
    updateFrequency(player, channel);
}

void tonePortamentoStep(ModulePlayer* player, Channel& channel) {
    float target = channel.tonePortaTarget;
    if (target == 0.0f || channel.period == target) return;
    float speed = float(int32_t(channel.tonePortaSpeed) * slideScale(player));
    if (channel.period < target) {
        channel.period += speed;
        if (channel.period > target) channel.period = target;
    } else {
        channel.period -= speed;
        if (channel.period < target) channel.period = target;
    }
    updateFrequency(player, channel);
}

void vibratoStep(ModulePlayer* player, Channel& channel, uint8_t param) {
    channel.vibratoTicks = static_cast<uint16_t>(channel.vibratoTicks + (param >> 4));
    channel.vibratoOffset =
        -2.0f * waveformValue(channel.vibratoWaveform, channel.vibratoTicks & 0xFF) * float(param & 0x0F) / 15.0f;
    updateFrequency(player, channel);
}

void volumeColumnTickZero(ModulePlayer* player, Channel& channel, const Cell& cell) {
    (void)player;
    uint8_t value = cell.volumeColumn;
    uint8_t x = value & 0x0F;
    if (value >= 0x10 && value <= 0x50) {
        channel.volume = float(value - 0x10) / 64.0f;
        return;
    }
    switch (value >> 4) {
    case 0x8: volumeSlide(channel, x); break;
    case 0x9: volumeSlide(channel, static_cast<uint8_t>(x << 4)); break;
    case 0xA: channel.vibratoParam = static_cast<uint8_t>((channel.vibratoParam & 0x0F) | (x << 4)); break;
    case 0xC: channel.panning = float(x * 17) / 255.0f; break;
    case 0xF:
        if (x != 0) channel.tonePortaSpeed = static_cast<uint8_t>(x * 17);
        break;
    default: break;
    }
}

void volumeColumnTick(ModulePlayer* player, Channel& channel, const Cell& cell) {
    if (player->tick == 0) return;
    uint8_t x = cell.volumeColumn & 0x0F;
    switch (cell.volumeColumn >> 4) {
    case 0x6: volumeSlide(channel, x); break;
    case 0x7: volumeSlide(channel, static_cast<uint8_t>(x << 4)); break;
    case 0xB:
        channel.vibratoActive = false;
        vibratoStep(player, channel, channel.vibratoParam);
        break;
    case 0xD: panningSlide(channel, x); break;
    case 0xE: panningSlide(channel, static_cast<uint8_t>(x << 4)); break;
    case 0xF: tonePortamentoStep(player, channel); break;
    default: break;
    }
}

void effectTickZero(ModulePlayer* player, Channel& channel, const Cell& cell) {
    uint8_t param = cell.param;
    switch (cell.effect) {
    case PortaUp: remember(channel.portaUpMemory, param); break;
    case PortaDown: remember(channel.portaDownMemory, param); break;
    case TonePorta: remember(channel.tonePortaSpeed, param); break;
    case Vibrato: setNibbles(channel.vibratoParam, param); break;
    case TonePortaVolumeSlide:
    case VibratoVolumeSlide:
    case VolumeSlide: remember(channel.volumeSlideMemory, param); break;
    case Tremolo: setNibbles(channel.tremoloParam, param); break;
    case SetPanning: channel.panning = float(param) / 255.0f; break;
    case SampleOffset:
        if (channel.sample && cell.note >= 1 && cell.note <= 96) {
            uint32_t offset = uint32_t(param) * (channel.sample->bits == 16 ? 128u : 256u);
            channel.position = offset < channel.sample->length ? float(offset) : -1.0f;
        }
        break;
    case PositionJump:
        if (param < player->songLength) {
            player->jumpPending = true;
            player->jumpOrder = param;
            player->jumpRow = 0;
        }
        break;
    case SetVolume: channel.volume = float(param > 64 ? 64 : param) / 64.0f; break;
    case PatternBreak:
        player->breakPending = true;
        player->jumpRow = static_cast<uint8_t>((param >> 4) * 10 + (param & 0x0F));
        break;
    case Extended: extendedTickZero(player, channel, cell); break;
    case SetSpeed:
        if (param >= 1 && param <= 31) player->tempo = param;
        else if (param >= 32) player->bpm = param;
        break;
    case SetGlobalVolume: player->globalVolume = float(param > 64 ? 64 : param) / 64.0f; break;
    case GlobalVolumeSlide: remember(channel.globalVolumeSlideMemory, param); break;
    case EnvelopePosition:
        channel.volumeEnvelopeTick = param;
        channel.panningEnvelopeTick = param;
        break;
    case PanningSlide: remember(channel.panningSlideMemory, param); break;
    case MultiRetrigger:
        if (param != 0) {
            if (param >> 4) channel.retrigMemory = param;
            else channel.retrigMemory = static_cast<uint8_t>((channel.retrigMemory & 0xF0) | (param & 0x0F));
        }
        break;
    case Tremor: remember(channel.tremorParam, param); break;
    case ExtraFinePorta:
        if ((param >> 4) == 1) rememberedPitchSlide(player, channel, channel.extraFinePortaUpMemory, param & 0x0F, -1);
        else if ((param >> 4) == 2)
            rememberedPitchSlide(player, channel, channel.extraFinePortaDownMemory, param & 0x0F, 1);
        break;
    default: break;
    }
}

void effectTick(ModulePlayer* player, Channel& channel, const Cell& cell) {
    bool laterTick = player->tick != 0;
    switch (cell.effect) {
    case Arpeggio:
        if (cell.param != 0) arpeggioTick(player, channel, cell.param);
        break;
    case PortaUp:
        if (laterTick) pitchSlide(player, channel, -int32_t(channel.portaUpMemory));
        break;
    case PortaDown:
        if (laterTick) pitchSlide(player, channel, int32_t(channel.portaDownMemory));
        break;
    case TonePorta:
        if (laterTick) tonePortamentoStep(player, channel);
        break;
    case Vibrato:
        if (laterTick) {
            channel.vibratoActive = true;
            vibratoStep(player, channel, channel.vibratoParam);
        }
        break;
    case TonePortaVolumeSlide:
        if (laterTick) {
            tonePortamentoStep(player, channel);
            volumeSlide(channel, channel.volumeSlideMemory);
        }
        break;
    case VibratoVolumeSlide:
        if (laterTick) {
            channel.vibratoActive = true;
            vibratoStep(player, channel, channel.vibratoParam);
            volumeSlide(channel, channel.volumeSlideMemory);
        }
        break;
    case Tremolo:
        if (laterTick) tremoloTick(channel);
        break;
    case VolumeSlide:
        if (laterTick) volumeSlide(channel, channel.volumeSlideMemory);
        break;
    case Extended: extendedTick(player, channel, cell); break;
    case GlobalVolumeSlide:
        if (laterTick) nibbleSlide(player->globalVolume, channel.globalVolumeSlideMemory, 64.0f);
        break;
    case KeyOffAt:
        if (player->tick == cell.param) keyOff(channel);
        break;
    case PanningSlide:
        if (laterTick) panningSlide(channel, channel.panningSlideMemory);
        break;
    case MultiRetrigger:
        if (laterTick) multiRetriggerTick(player, channel, cell);
        break;
    case Tremor:
        if (laterTick) {
            uint32_t on = channel.tremorParam >> 4;
            uint32_t off = channel.tremorParam & 0x0F;
            channel.tremorMuted = (uint32_t(player->tick - 1) % (on + off + 2)) > on;
        }
        break;
    default: break;
    }
}
