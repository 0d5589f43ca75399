// Notes, the volume column and the effect commands, with their memories.
// Each test plays a one-channel song tick by tick and looks at the channel.
#include "PlayerFixture.h"

using namespace xmtest;

namespace {

// One channel, instrument 1 = a looping constant 8-bit sample of 1000 frames
// at volume 64 and panning 128, the song at the given tempo.
struct EffectSong {
    SongBuilder song;
    PlayerPtr player;

    explicit EffectSong(uint16_t tempo, bool linear = true) : song(1, 32) {
        song.module.tempo = tempo;
        song.module.linear = linear;
        song.addInstrument(constantSample(40, 1000));
    }
    XmCell& at(uint32_t row) { return song.cell(row, 0); }
    ModulePlayer* start() {
        player = loadPlayer(song.bytes());
        return player.get();
    }
    Channel& channel() { return player->channels[0]; }
    void tick() { runTick(player.get()); }
    void ticks(uint32_t n) { runTicks(player.get(), n); }
};

constexpr float kStep = 1.0f / 64.0f;

}  // namespace

TEST(Notes, TriggerSetsPeriodVolumePanningAndResetsTheVoice) {
    EffectSong s(4);
    s.song.module.instruments[0].samples[0].volume = 48;
    s.song.module.instruments[0].samples[0].panning = 200;
    s.at(0) = XmCell{49, 1, 0, 0, 0};
    s.start();
    s.tick();
    Channel& ch = s.channel();
    EXPECT_EQ(ch.period, 4608.0f);
    EXPECT_EQ(ch.note, 48.0f);
    EXPECT_EQ(ch.baseNote, 48.0f);
    EXPECT_EQ(ch.volume, 0.75f);
    EXPECT_EQ(ch.panning, 200.0f / 255.0f);
    EXPECT_EQ(ch.position, 0.0f);
    EXPECT_FLOAT_EQ(ch.frequency, 8363.0f);
    EXPECT_NEAR(ch.step, 0.1896f, 0.0001f);
    EXPECT_EQ(ch.rampFrame, 0u);
    EXPECT_EQ(ch.instrument, &s.player->instruments[0]);
}

TEST(Notes, InstrumentColumnWithoutANoteResetsWithoutRestarting) {
    EffectSong s(2);
    s.at(0) = XmCell{49, 1, 0, 0, 0};
    s.at(1) = XmCell{0, 0, 0x20, 0, 0};  // volume 16/64
    s.at(2) = XmCell{0, 1, 0, 0, 0};
    s.at(3) = XmCell{0, 0, 0x20, 0x08, 0x10};
    s.at(4) = XmCell{61, 0, 0, 0, 0};  // note alone keeps the volume
    s.start();
    s.ticks(4);
    EXPECT_EQ(s.channel().volume, 0.25f);
    s.channel().position = 300.0f;
    s.tick();
    EXPECT_EQ(s.channel().volume, 1.0f);
    EXPECT_EQ(s.channel().position, 300.0f);
    s.ticks(3);
    EXPECT_EQ(s.channel().panning, 16.0f / 255.0f);
    s.channel().position = 300.0f;
    s.tick();
    EXPECT_EQ(s.channel().volume, 0.25f);
    EXPECT_EQ(s.channel().panning, 128.0f / 255.0f);  // the sample's panning comes back
    EXPECT_EQ(s.channel().position, 0.0f);
}

TEST(Notes, MissingInstrumentsAndSamplesCutTheChannel) {
    EffectSong s(1);
    s.song.module.instruments.push_back(XmInstrument{});  // instrument 2: no samples
    s.at(0) = XmCell{49, 0, 0, 0, 0};                     // no instrument yet
    s.at(1) = XmCell{49, 1, 0, 0, 0};
    s.at(2) = XmCell{49, 2, 0, 0, 0};
    s.at(3) = XmCell{49, 1, 0, 0, 0};
    s.at(4) = XmCell{49, 9, 0, 0, 0};  // beyond the instrument count
    s.start();
    s.tick();
    EXPECT_EQ(s.channel().volume, 0.0f);
    s.tick();
    EXPECT_EQ(s.channel().volume, 1.0f);
    s.tick();
    EXPECT_EQ(s.channel().volume, 0.0f);
    s.tick();
    EXPECT_EQ(s.channel().volume, 1.0f);
    s.tick();
    EXPECT_EQ(s.channel().volume, 0.0f);
    EXPECT_EQ(s.channel().instrument, nullptr);
    EXPECT_EQ(s.channel().sample, nullptr);

    // A note mapped to a sample the instrument lacks.
    EffectSong t(1);
    t.song.module.instruments[0].noteSample[48] = 3;
    t.at(0) = XmCell{49, 1, 0, 0, 0};
    t.start();
    t.tick();
    EXPECT_EQ(t.channel().volume, 0.0f);
    EXPECT_EQ(t.channel().sample, nullptr);
}

TEST(Notes, KeyOffReleasesOrCuts) {
    EffectSong s(3);
    s.at(0) = XmCell{49, 1, 0, 0x14, 0x00};  // K00: on tick 0, after the note
    s.at(1) = XmCell{49, 1, 0, 0x14, 0x02};
    s.at(2) = XmCell{97, 0, 0, 0, 0};
    s.start();
    s.tick();
    EXPECT_FALSE(s.channel().sustained);
    EXPECT_EQ(s.channel().volume, 0.0f);  // no volume envelope: cut
    s.ticks(3);
    EXPECT_EQ(s.channel().volume, 1.0f);
    s.tick();
    EXPECT_EQ(s.channel().volume, 1.0f);
    s.tick();
    EXPECT_EQ(s.channel().volume, 0.0f);

    EffectSong e(3);
    e.song.module.instruments[0].volumeEnvelope.points = {{0, 64}, {10, 64}};
    e.song.module.instruments[0].volumeEnvelope.flags = 1;
    e.at(0) = XmCell{49, 1, 0, 0, 0};
    e.at(1) = XmCell{97, 0, 0, 0, 0};
    e.start();
    e.ticks(4);
    EXPECT_FALSE(e.channel().sustained);
    EXPECT_EQ(e.channel().volume, 1.0f);  // released, not cut: the fadeout takes over
}

TEST(VolumeColumn, SetSlidesPanningAndPortamento) {
    EffectSong s(4);
    s.at(0) = XmCell{49, 1, 0x30, 0, 0};  // volume 32/64
    s.at(1) = XmCell{0, 0, 0x62, 0, 0};   // down 2 on later ticks
    s.at(2) = XmCell{0, 0, 0x71, 0, 0};   // up 1 on later ticks
    s.at(3) = XmCell{0, 0, 0x83, 0, 0};   // fine down 3 on tick 0
    s.at(4) = XmCell{0, 0, 0x92, 0, 0};   // fine up 2
    s.at(5) = XmCell{0, 0, 0x55, 0, 0};   // above 0x50: nothing
    s.at(6) = XmCell{0, 0, 0xC4, 0, 0};   // panning 4 * 17 / 255
    s.at(7) = XmCell{0, 0, 0xD3, 0, 0};   // panning left 3/255 on later ticks
    s.at(8) = XmCell{0, 0, 0xE1, 0, 0};   // right 1/255
    s.start();
    s.tick();
    EXPECT_EQ(s.channel().volume, 0.5f);
    s.ticks(3);
    s.ticks(4);
    EXPECT_EQ(s.channel().volume, 0.5f - 6 * kStep);
    s.ticks(4);
    EXPECT_EQ(s.channel().volume, 0.5f - 3 * kStep);
    s.tick();
    EXPECT_EQ(s.channel().volume, 0.5f - 6 * kStep);
    s.ticks(3);
    s.tick();
    EXPECT_EQ(s.channel().volume, 0.5f - 4 * kStep);
    s.ticks(3);
    s.ticks(4);
    EXPECT_EQ(s.channel().volume, 0.5f - 4 * kStep);
    s.ticks(4);
    EXPECT_FLOAT_EQ(s.channel().panning, 68.0f / 255.0f);
    s.ticks(4);
    EXPECT_FLOAT_EQ(s.channel().panning, 59.0f / 255.0f);
    s.ticks(4);
    EXPECT_FLOAT_EQ(s.channel().panning, 62.0f / 255.0f);
}

TEST(VolumeColumn, ToneAndVibratoNibbles) {
    EffectSong s(3);
    s.at(0) = XmCell{49, 1, 0, 0, 0};
    s.at(1) = XmCell{61, 0, 0xF1, 0, 0};  // tone portamento, speed 17
    s.at(2) = XmCell{0, 0, 0xA8, 0, 0};   // vibrato speed 8
    s.at(3) = XmCell{0, 0, 0xB0, 0x04, 0x06};  // vibrato depth 6 via 4xy, then Bx steps it
    s.start();
    s.ticks(3);
    s.channel().position = 50.0f;
    s.tick();
    EXPECT_EQ(s.channel().tonePortaSpeed, 17);
    EXPECT_EQ(s.channel().tonePortaTarget, 3840.0f);
    EXPECT_EQ(s.channel().position, 50.0f);  // no new note
    s.ticks(2);
    EXPECT_EQ(s.channel().period, 4608.0f - 2 * 68.0f);
    s.ticks(3);
    EXPECT_EQ(s.channel().vibratoParam, 0x80);
}

TEST(Effects, VolumeSlideWithMemoryAndSetVolume) {
    EffectSong s(4);
    s.at(0) = XmCell{49, 1, 0, 0x0C, 0x20};  // volume 32
    s.at(1) = XmCell{0, 0, 0, 0x0A, 0x02};
    s.at(2) = XmCell{0, 0, 0, 0x0A, 0x00};  // memory
    s.at(3) = XmCell{0, 0, 0, 0x0A, 0x10};
    s.at(4) = XmCell{0, 0, 0, 0x0A, 0x23};  // both nibbles: nothing
    s.at(5) = XmCell{0, 0, 0, 0x0C, 0x50};  // above 64: full
    s.start();
    s.ticks(4);
    EXPECT_EQ(s.channel().volume, 0.5f);
    s.ticks(4);
    EXPECT_EQ(s.channel().volume, 0.5f - 6 * kStep);
    s.ticks(4);
    EXPECT_EQ(s.channel().volume, 0.5f - 12 * kStep);
    s.ticks(4);
    EXPECT_EQ(s.channel().volume, 0.5f - 9 * kStep);
    s.ticks(4);
    EXPECT_EQ(s.channel().volume, 0.5f - 9 * kStep);
    EXPECT_EQ(s.channel().volumeSlideMemory, 0x23);
    s.tick();
    EXPECT_EQ(s.channel().volume, 1.0f);
}

TEST(Effects, PortamentoSlidesByFourOnTheLinearTableAndOneOnAmiga) {
    for (bool linear : {true, false}) {
        SCOPED_TRACE(linear ? "linear" : "Amiga");
        EffectSong s(4, linear);
        s.at(0) = XmCell{49, 1, 0, 0, 0};
        s.at(1) = XmCell{0, 0, 0, 0x01, 0x02};
        s.at(2) = XmCell{0, 0, 0, 0x01, 0x00};
        s.at(3) = XmCell{0, 0, 0, 0x02, 0x05};
        s.at(4) = XmCell{0, 0, 0, 0x0E, 0x13};  // fine up 3, on tick 0
        s.at(5) = XmCell{0, 0, 0, 0x21, 0x13};  // extra fine up 3: the same amount
        s.at(6) = XmCell{0, 0, 0, 0x21, 0x20};  // extra fine down, memory empty: 0
        s.start();
        float scale = linear ? 4.0f : 1.0f;
        s.ticks(4);
        float base = s.channel().period;
        EXPECT_EQ(base, linear ? 4608.0f : 428.0f);
        s.ticks(4);
        EXPECT_EQ(s.channel().period, base - 6 * scale);
        s.ticks(4);
        EXPECT_EQ(s.channel().period, base - 12 * scale);
        s.ticks(4);
        EXPECT_EQ(s.channel().period, base + 3 * scale);
        s.tick();
        EXPECT_EQ(s.channel().period, base);
        s.ticks(4);
        EXPECT_EQ(s.channel().period, base - 3 * scale);
        s.ticks(4);
        EXPECT_EQ(s.channel().period, base - 3 * scale);
        EXPECT_FLOAT_EQ(s.channel().frequency, periodFrequency(s.player.get(), s.channel().period, 0, 0));
    }
}

TEST(Effects, PortamentoStopsAtPeriodZero) {
    EffectSong s(31);
    s.at(0) = XmCell{49, 1, 0, 0x01, 0xFF};
    s.start();
    s.ticks(31);
    EXPECT_EQ(s.channel().period, 0.0f);
    EXPECT_TRUE(std::isfinite(s.channel().frequency));
}

TEST(Effects, TonePortamentoMovesTowardsTheTargetAndStops) {
    EffectSong s(4);
    s.at(0) = XmCell{49, 1, 0, 0, 0};
    s.at(1) = XmCell{50, 0, 0, 0x03, 0x05};  // target 4544, 20 units a tick
    s.at(2) = XmCell{0, 0, 0, 0x03, 0x00};
    s.at(3) = XmCell{37, 1, 0, 0x03, 0x00};  // with an instrument: volume reset, no restart
    s.start();
    s.ticks(4);
    s.channel().volume = 0.5f;
    s.ticks(4);
    EXPECT_EQ(s.channel().period, 4608.0f - 60.0f);
    EXPECT_EQ(s.channel().volume, 0.5f);
    s.ticks(4);
    EXPECT_EQ(s.channel().period, 4544.0f);  // stopped at the target
    s.channel().position = 70.0f;
    s.ticks(4);
    EXPECT_EQ(s.channel().volume, 1.0f);
    EXPECT_EQ(s.channel().position, 70.0f);
    EXPECT_EQ(s.channel().period, 4544.0f + 60.0f);
    EXPECT_EQ(s.channel().tonePortaTarget, 7680.0f - 64.0f * 36.0f);
}

TEST(Effects, VibratoAdvancesByItsSpeedAndEndsWithTheEffect) {
    EffectSong s(4);
    s.at(0) = XmCell{49, 1, 0, 0, 0};
    s.at(1) = XmCell{0, 0, 0, 0x04, 0x4F};
    s.at(2) = XmCell{0, 0, 0, 0x04, 0x00};  // keeps speed and depth
    s.start();
    s.ticks(4);
    s.ticks(2);
    float expected = -2.0f * -std::sin(4.0f * 6.283184f * (1.0f / 64.0f)) * 15.0f / 15.0f;
    EXPECT_FLOAT_EQ(s.channel().vibratoOffset, expected);
    EXPECT_FLOAT_EQ(s.channel().frequency, periodFrequency(s.player.get(), 4608.0f, 0, expected));
    EXPECT_TRUE(s.channel().vibratoActive);
    s.ticks(2);
    s.ticks(4);
    EXPECT_EQ(s.channel().vibratoTicks, 6 * 4);
    s.tick();  // row 3 has no vibrato
    EXPECT_FALSE(s.channel().vibratoActive);
    EXPECT_EQ(s.channel().vibratoOffset, 0.0f);
    EXPECT_FLOAT_EQ(s.channel().frequency, 8363.0f);
}

TEST(Effects, ArpeggioPhasesFollowTheTempo) {
    struct Case {
        uint16_t tempo;
        std::vector<int> offsets;
    } cases[] = {{6, {0, 7, 3, 0, 7, 3}}, {4, {0, 0, 7, 3}}, {5, {0, 3, 0, 7, 3}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tempo);
        EffectSong s(c.tempo);
        s.at(0) = XmCell{49, 1, 0, 0x00, 0x37};
        s.start();
        std::vector<int> offsets;
        for (uint16_t t = 0; t < c.tempo; ++t) {
            s.tick();
            offsets.push_back(s.channel().arpeggioOffset);
        }
        EXPECT_EQ(offsets, c.offsets);
        s.tick();  // next row without arpeggio
        EXPECT_EQ(s.channel().arpeggioOffset, 0);
        EXPECT_FLOAT_EQ(s.channel().frequency, 8363.0f);
    }
}

TEST(Effects, TremoloCountsTicksTimesSpeed) {
    EffectSong s(4);
    s.at(0) = XmCell{49, 1, 0, 0x07, 0x4F};
    s.start();
    s.ticks(2);
    EXPECT_EQ(s.channel().tremoloVolume, -0.0f);
    s.tick();
    EXPECT_FLOAT_EQ(s.channel().tremoloVolume, -1.0f * -std::sin(4.0f * 6.283184f / 64.0f));
    EXPECT_EQ(s.channel().tremoloTicks, 2);
}

TEST(Effects, SampleOffsetSetsOrStopsThePosition) {
    EffectSong s(1);
    XmSample wide = constantSample(100, 700);
    wide.sixteenBit = true;
    s.song.module.instruments[0].samples.push_back(wide);
    s.song.module.instruments[0].noteSample[60] = 1;
    s.at(0) = XmCell{49, 1, 0, 0x09, 0x03};  // 768 frames of 1000
    s.at(1) = XmCell{49, 1, 0, 0x09, 0x04};  // 1024: past the end
    s.at(2) = XmCell{61, 1, 0, 0x09, 0x05};  // 16-bit: 5 * 128 = 640
    s.at(3) = XmCell{0, 0, 0, 0x09, 0x01};   // no note: nothing
    s.start();
    s.tick();
    EXPECT_EQ(s.channel().position, 768.0f);
    s.tick();
    EXPECT_EQ(s.channel().position, -1.0f);
    s.tick();
    EXPECT_EQ(s.channel().position, 640.0f);
    s.tick();
    EXPECT_EQ(s.channel().position, 640.0f);
}

TEST(Effects, PanningGlobalVolumeAndEnvelopePosition) {
    EffectSong s(3);
    s.at(0) = XmCell{49, 1, 0, 0x08, 0x40};
    s.at(1) = XmCell{0, 0, 0, 0x10, 0x20};  // G20
    s.at(2) = XmCell{0, 0, 0, 0x11, 0x02};  // H02
    s.at(3) = XmCell{0, 0, 0, 0x11, 0x00};
    s.at(4) = XmCell{0, 0, 0, 0x10, 0x70};  // above 64
    s.at(5) = XmCell{0, 0, 0, 0x19, 0x03};  // P03: left 3/255 per later tick
    s.at(6) = XmCell{0, 0, 0, 0x15, 0x07};  // L07
    s.start();
    s.tick();
    EXPECT_EQ(s.channel().panning, 64.0f / 255.0f);
    s.ticks(3);
    EXPECT_EQ(s.player->globalVolume, 0.5f);
    s.ticks(2 + 3);
    EXPECT_EQ(s.player->globalVolume, 0.5f - 4 * kStep);
    s.ticks(3);
    EXPECT_EQ(s.player->globalVolume, 0.5f - 8 * kStep);
    s.tick();
    EXPECT_EQ(s.player->globalVolume, 1.0f);
    s.ticks(2 + 3);
    EXPECT_FLOAT_EQ(s.channel().panning, 58.0f / 255.0f);
    s.tick();
    EXPECT_EQ(s.channel().volumeEnvelopeTick, 7);
    EXPECT_EQ(s.channel().panningEnvelopeTick, 7);
}

TEST(Effects, RetriggerCutAndDelay) {
    EffectSong s(6);
    s.at(0) = XmCell{49, 1, 0, 0x0E, 0x93};  // retrigger on tick 3
    s.at(1) = XmCell{49, 1, 0, 0x0E, 0xC2};  // cut on tick 2
    s.at(2) = XmCell{61, 1, 0x20, 0x0E, 0xD2};  // the whole cell waits for tick 2
    s.at(3) = XmCell{49, 1, 0, 0x0E, 0xD9};  // beyond the row: dropped
    s.start();
    s.ticks(3);
    s.channel().position = 99.0f;
    s.tick();
    EXPECT_EQ(s.channel().position, 0.0f);
    s.ticks(2);
    s.ticks(2);
    EXPECT_EQ(s.channel().volume, 1.0f);
    s.tick();
    EXPECT_EQ(s.channel().volume, 0.0f);
    s.ticks(3);
    s.tick();
    EXPECT_EQ(s.channel().noteDelay, 2);
    EXPECT_EQ(s.channel().volume, 0.0f);
    EXPECT_EQ(s.channel().period, 4608.0f);
    s.tick();
    s.tick();
    EXPECT_EQ(s.channel().period, 7680.0f - 64.0f * 60.0f);
    EXPECT_EQ(s.channel().volume, 0.25f);
    s.ticks(3);
    s.ticks(6);
    EXPECT_EQ(s.channel().period, 7680.0f - 64.0f * 60.0f);
}

TEST(Effects, NoteDelayWithoutANoteRetriggersTheLastOne) {
    EffectSong s(4);
    s.at(0) = XmCell{49, 1, 0, 0, 0};
    s.at(1) = XmCell{0, 0, 0, 0x0E, 0xD1};
    s.at(2) = XmCell{0, 0, 0, 0x0E, 0xD0};
    s.start();
    s.ticks(4);
    s.channel().position = 40.0f;
    s.channel().volume = 0.5f;
    s.ticks(2);
    EXPECT_EQ(s.channel().position, 0.0f);  // restarted with the base note
    EXPECT_EQ(s.channel().volume, 0.5f);
    s.ticks(2);
    s.channel().position = 40.0f;
    s.channel().period = 1000.0f;
    s.tick();  // ED0: handled on tick 0, keeping period and position
    EXPECT_EQ(s.channel().position, 40.0f);
    EXPECT_EQ(s.channel().period, 1000.0f);
}

TEST(Effects, MultiRetriggerAdjustsTheVolume) {
    EffectSong s(6);
    s.at(0) = XmCell{49, 1, 0, 0x1B, 0xA2};  // every 2 ticks, +2/64
    s.at(1) = XmCell{0, 0, 0, 0x1B, 0x03};   // x = 0: only the interval changes
    s.at(2) = XmCell{0, 0, 0x30, 0x1B, 0x00};  // a volume column: no volume change
    s.start();
    s.tick();
    s.channel().volume = 0.5f;
    s.ticks(5);
    EXPECT_EQ(s.channel().volume, 0.5f + 4 * kStep);  // ticks 2 and 4
    s.ticks(6);
    EXPECT_EQ(s.channel().retrigMemory, 0xA3);
    EXPECT_EQ(s.channel().volume, 0.5f + 6 * kStep);  // tick 3 only
    s.ticks(6);
    EXPECT_EQ(s.channel().volume, 0.5f);

    EffectSong m(4);
    m.at(0) = XmCell{49, 1, 0, 0x1B, 0x71};  // halve on every later tick
    m.start();
    m.ticks(4);
    EXPECT_EQ(m.channel().volume, 0.125f);
}

TEST(Effects, TremorMutesAfterItsOnTicks) {
    EffectSong s(12);
    s.at(0) = XmCell{49, 1, 0, 0x1D, 0x21};  // 3 ticks on, 2 off
    s.start();
    std::vector<int> muted, silentGain;
    for (int t = 0; t < 12; ++t) {
        s.tick();
        muted.push_back(s.channel().tremorMuted);
        silentGain.push_back(s.channel().targetGain[0] == 0.0f && s.channel().targetGain[1] == 0.0f);
    }
    EXPECT_EQ(muted, (std::vector<int>{0, 0, 0, 0, 1, 1, 0, 0, 0, 1, 1, 0}));
    EXPECT_EQ(silentGain, muted);
}

TEST(Effects, SetFinetuneChangesThePitchButNotTheBaseNote) {
    EffectSong s(2);
    s.at(0) = XmCell{49, 1, 0, 0x0E, 0x5F};  // finetune +7 * 16 / 128
    s.start();
    s.tick();
    EXPECT_EQ(s.channel().note, 48.875f);
    EXPECT_EQ(s.channel().baseNote, 48.0f);
    EXPECT_EQ(s.channel().period, 7680.0f - 64.0f * 48.875f);
}
