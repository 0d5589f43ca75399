// Writes the fuzzer's seed corpus: small crafted modules that reach every
// part of the loader and the sequencer. Run by hand: xm_fuzz_seeds DIR.
#include <cstdio>
#include <string>

#include "BusySong.h"

using namespace xmtest;

namespace {

void save(const std::string& dir, const char* name, const std::vector<uint8_t>& bytes) {
    std::string path = dir + "/" + name;
    FILE* file = fopen(path.c_str(), "wb");
    if (!file || fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        fprintf(stderr, "xm_fuzz_seeds: cannot write %s\n", path.c_str());
        return;
    }
    fclose(file);
}

XmModule small(const BusySongOptions& options) {
    XmModule m = makeBusySong(options);
    // Short samples keep the seeds small.
    for (XmInstrument& ins : m.instruments)
        for (XmSample& s : ins.samples) {
            s.values.resize(64);
            if (s.loopType) {
                s.loopStart = 8;
                s.loopLength = 40;
            }
        }
    return m;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: xm_fuzz_seeds DIR\n");
        return 2;
    }
    std::string dir = argv[1];
    BusySongOptions show;
    show.patterns = 1;
    save(dir, "show-shaped.xm", writeXm(small(show)));

    BusySongOptions every;
    every.patterns = 1;
    every.allEffects = true;
    every.noteEvery = 2;
    save(dir, "every-command-linear.xm", writeXm(small(every)));
    every.linear = false;
    every.seed = 3;
    save(dir, "every-command-amiga.xm", writeXm(small(every)));
    every.channels = 9;
    every.seed = 4;
    save(dir, "nine-channels.xm", writeXm(small(every)));

    // Jumps, breaks, loops, missing and empty patterns, odd header values.
    SongBuilder song(2, 8);
    song.module.tempo = 2;
    song.addInstrument(constantSample(50, 32));
    uint32_t empty = song.addPattern(0);
    song.module.orders = {0, uint8_t(empty), 7, 0};
    song.module.restart = 9;
    song.cell(0, 0) = XmCell{49, 1, 0xF3, 0x0E, 0x60};
    song.cell(2, 0) = XmCell{61, 0, 0, 0x0E, 0x62};
    song.cell(3, 1) = XmCell{0, 0, 0, 0x0D, 0x25};
    song.cell(4, 0) = XmCell{97, 1, 0, 0x0B, 0x02};
    song.cell(5, 1) = XmCell{30, 3, 0, 0x09, 0x40};
    save(dir, "jumps-and-loops.xm", song.bytes());

    XmModule headerOnly;
    std::vector<uint8_t> bytes = writeXm(headerOnly);
    bytes.resize(60);
    save(dir, "header-only.xm", bytes);

    XmModule odd = small(show);
    odd.instruments[0].headerSize = 29;
    odd.instruments[1].headerSize = 0;
    odd.instruments[2].volumeEnvelope.points = {{0, 64}, {4, 80}, {9, 10}};
    odd.instruments[2].volumeEnvelope.sustain = 30;
    odd.instruments[2].volumeEnvelope.flags = 7;
    odd.instruments[2].volumeEnvelope.loopEnd = 9;
    odd.instruments[3].samples[0].sixteenBit = true;
    odd.instruments[3].samples[0].loopType = 3;
    odd.bpm = 0;
    save(dir, "odd-headers.xm", writeXm(odd));
    return 0;
}
