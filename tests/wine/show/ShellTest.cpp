// The Windows layer of the shell on Wine: the window procedure, the window,
// device and swap chain set-up, and the audio stream on a real (null-sink)
// waveform-audio device.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "app/MusicClock.h"
#include "app/windows/AppWindow.h"
#include "app/windows/AudioStream.h"
#include "ImportPatch.h"
#include "content/module/SongModule.h"
#include "xm/ModulePlayer.h"

namespace {

bool takeQuitMessage(WPARAM& code) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            code = message.wParam;
            return true;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return false;
}

TEST(StageWindowProcedure, SwallowsSizeAndTheKeyboardMenuAndQuitsOnDestroy) {
    WPARAM code = 99;
    ASSERT_FALSE(takeQuitMessage(code));
    EXPECT_EQ(stageWindowProcedure(nullptr, WM_SIZE, SIZE_RESTORED, MAKELPARAM(10, 10)), 0);
    // Alt or F10 would otherwise run the modal menu loop; with the low bits
    // of wParam set the command is still the keyboard menu.
    EXPECT_EQ(stageWindowProcedure(nullptr, WM_SYSCOMMAND, SC_KEYMENU, 0), 0);
    EXPECT_EQ(stageWindowProcedure(nullptr, WM_SYSCOMMAND, SC_KEYMENU | 0x3, 0), 0);
    EXPECT_FALSE(takeQuitMessage(code));

    EXPECT_EQ(stageWindowProcedure(nullptr, WM_DESTROY, 0, 0), 0);
    ASSERT_TRUE(takeQuitMessage(code));
    EXPECT_EQ(code, 0u);
}

TEST(KeyIsDown, CountsTheKeyDownBitAndNotAnEarlierPress) {
    EXPECT_FALSE(keyIsDown(0));
    // Pressed and released since the last poll, perhaps to close another program.
    EXPECT_FALSE(keyIsDown(0x0001));
    EXPECT_TRUE(keyIsDown(SHORT(0x8000)));
    EXPECT_TRUE(keyIsDown(SHORT(0x8001)));
    EXPECT_TRUE(keyIsDown(SHORT(-1)));
    EXPECT_FALSE(keyIsDown(0x7FFF));
}

TEST(ShowSwapChainDesc, IsAFlipModelChainForComposition) {
    const DXGI_SWAP_CHAIN_DESC1 desc = showSwapChainDesc(1366, 768);
    EXPECT_EQ(desc.Width, 1366u);
    EXPECT_EQ(desc.Height, 768u);
    EXPECT_EQ(desc.Format, DXGI_FORMAT_R8G8B8A8_UNORM);
    EXPECT_FALSE(desc.Stereo);
    EXPECT_EQ(desc.SampleDesc.Count, 1u);
    EXPECT_EQ(desc.SampleDesc.Quality, 0u);
    EXPECT_EQ(desc.BufferUsage, DXGI_USAGE_RENDER_TARGET_OUTPUT);
    EXPECT_EQ(desc.BufferCount, 2u);
    EXPECT_EQ(desc.Scaling, DXGI_SCALING_STRETCH);
    EXPECT_EQ(desc.SwapEffect, DXGI_SWAP_EFFECT_FLIP_DISCARD);
    EXPECT_EQ(desc.AlphaMode, DXGI_ALPHA_MODE_PREMULTIPLIED);
    EXPECT_EQ(desc.Flags, 0u);
}

// One window for the whole process, as in the show.
TEST(CreatePresentation, CoversTheScreenWithABorderlessWindowAndASwapChain) {
    const int32_t width = GetSystemMetrics(SM_CXSCREEN);
    const int32_t height = GetSystemMetrics(SM_CYSCREEN);
    ASSERT_GT(width, 0);
    ASSERT_GT(height, 0);

    AppWindow app = {};
    const PresentationResult result = createPresentation(app, width, height);
    ASSERT_EQ(result.failure, PresentationFailure::None) << std::hex << result.result;
    EXPECT_EQ(result.result, S_OK);
    EXPECT_FALSE(app.quit);

    ASSERT_NE(app.window, nullptr);
    wchar_t text[64] = {};
    GetWindowTextW(app.window, text, 64);
    EXPECT_STREQ(text, L"Thawline");
    GetClassNameW(app.window, text, 64);
    EXPECT_STREQ(text, L"StageWindow");
    EXPECT_EQ(app.windowClass.cbSize, 80u);
    EXPECT_EQ(app.windowClass.style, UINT(CS_CLASSDC));
    EXPECT_EQ(app.windowClass.hCursor, nullptr);
    const LONG style = GetWindowLongW(app.window, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME));
    RECT rect;
    GetWindowRect(app.window, &rect);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, width);
    EXPECT_EQ(rect.bottom, height);

    std::printf("screen %d x %d\n", int(width), int(height));

    // The cursor is hidden for the whole show.
    CURSORINFO cursor = {};
    cursor.cbSize = sizeof cursor;
    ASSERT_TRUE(GetCursorInfo(&cursor));
    EXPECT_EQ(cursor.flags & CURSOR_SHOWING, 0u);

    ASSERT_NE(app.device, nullptr);
    ASSERT_NE(app.immediateContext, nullptr);
    EXPECT_EQ(app.device->GetFeatureLevel(), D3D_FEATURE_LEVEL_11_0);
    ASSERT_NE(app.swapChain, nullptr);
    ASSERT_NE(app.backBufferView, nullptr);

    // Whichever path made it (composition on Windows, the window on Wine),
    // the chain keeps the show's size, format, buffer count and swap effect.
    DXGI_SWAP_CHAIN_DESC1 desc;
    ASSERT_TRUE(SUCCEEDED(app.swapChain->GetDesc1(&desc)));
    EXPECT_EQ(desc.Width, UINT(width));
    EXPECT_EQ(desc.Height, UINT(height));
    EXPECT_EQ(desc.Format, DXGI_FORMAT_R8G8B8A8_UNORM);
    EXPECT_EQ(desc.BufferCount, 2u);
    EXPECT_EQ(desc.SwapEffect, DXGI_SWAP_EFFECT_FLIP_DISCARD);

    // The back-buffer view is of buffer 0 at full size.
    ID3D11Resource* viewed = nullptr;
    app.backBufferView->GetResource(&viewed);
    ASSERT_NE(viewed, nullptr);
    D3D11_TEXTURE2D_DESC texture;
    static_cast<ID3D11Texture2D*>(viewed)->GetDesc(&texture);
    EXPECT_EQ(texture.Width, UINT(width));
    EXPECT_EQ(texture.Height, UINT(height));
    viewed->Release();

    // A frame: clear through the view, present with vertical sync.
    const float red[4] = {1, 0, 0, 1};
    for (int frame = 0; frame < 3; ++frame) {
        app.immediateContext->OMSetRenderTargets(1, &app.backBufferView, nullptr);
        app.immediateContext->ClearRenderTargetView(app.backBufferView, red);
        EXPECT_TRUE(SUCCEEDED(app.swapChain->Present(1, 0))) << "frame " << frame;
    }

    // A swallowed WM_SIZE leaves the chain at its start-up size.
    SendMessageW(app.window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(100, 100));
    ASSERT_TRUE(SUCCEEDED(app.swapChain->GetDesc1(&desc)));
    EXPECT_EQ(desc.Width, UINT(width));

    // Closing the window (what Alt+F4 does) ends in WM_QUIT.
    WPARAM code = 99;
    EXPECT_FALSE(takeQuitMessage(code));
    PostMessageW(app.window, WM_SYSCOMMAND, SC_CLOSE, 0);
    bool quit = false;
    for (int i = 0; i < 100 && !quit; ++i) {
        quit = takeQuitMessage(code);
        if (!quit) Sleep(10);
    }
    EXPECT_TRUE(quit);
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(IsWindow(app.window));
}

// The song's first frames, rendered by a player of our own.
std::vector<float> songFrames(uint32_t frames) {
    std::vector<float> out(size_t(frames) * 2);
    ModulePlayer* player = nullptr;
    if (createPlayer(&player, kSongModule, kSongModuleSize, kAudioSampleRate) != 0 || !player) return {};
    setMaxLoops(player, 1);
    generateFrames(player, out.data(), frames);
    freePlayer(player);
    return out;
}

TEST(AudioStream, PlaysTheSongFromAFullRingAndStopsCleanly) {
    auto stream = std::make_unique<AudioStream>();
    startAudioStream(*stream, kSongModule, kSongModuleSize);
    if (!stream->device) GTEST_SKIP() << "no waveform-audio device (no sound server)";

    EXPECT_TRUE(stream->writePending);
    ASSERT_NE(stream->player, nullptr);
    EXPECT_TRUE(stream->thread.joinable());
    EXPECT_EQ(stream->header.dwBufferLength, 32768u);
    EXPECT_EQ(stream->header.dwFlags & (WHDR_BEGINLOOP | WHDR_ENDLOOP), DWORD(WHDR_BEGINLOOP | WHDR_ENDLOOP));
    EXPECT_TRUE(stream->header.dwFlags & WHDR_PREPARED);
    EXPECT_EQ(stream->header.dwLoops, 0xFFFFFFFFu);
    EXPECT_EQ(stream->header.lpData, reinterpret_cast<LPSTR>(stream->buffer));

    // Before the header is written nothing plays and the ring holds the
    // song's first 4,096 frames (the refill thread finds nothing to do).
    Sleep(50);
    EXPECT_EQ(audioPositionBytes(*stream), 0u);
    const std::vector<float> reference = songFrames(kAudioRingFrames);
    ASSERT_EQ(reference.size(), size_t(kAudioRingFloats));
    EXPECT_EQ(std::memcmp(reference.data(), stream->buffer, sizeof(stream->buffer)), 0);

    writePendingAudio(*stream);
    EXPECT_FALSE(stream->writePending);
    writePendingAudio(*stream);  // a second call writes nothing more

    // The clock runs: the position advances in whole frames.
    uint32_t bytes = 0;
    for (int i = 0; i < 300 && bytes < 44100 * 8 / 10; ++i) {
        Sleep(10);
        bytes = audioPositionBytes(*stream);
    }
    EXPECT_GE(bytes, 44100u * 8 / 10) << "less than 0.1 s played in 3 s";
    EXPECT_EQ(bytes % 8, 0u);
    const uint32_t later = [&] {
        Sleep(200);
        return audioPositionBytes(*stream);
    }();
    EXPECT_GT(later, bytes);

    const auto before = std::chrono::steady_clock::now();
    stopAudioStream(*stream);
    const double stopSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - before).count();
    EXPECT_FALSE(stream->thread.joinable());
    EXPECT_EQ(stream->device, nullptr);
    EXPECT_EQ(stream->player, nullptr);
    EXPECT_EQ(audioPositionBytes(*stream), 0u);
    EXPECT_LT(stopSeconds, 2.0) << "the refill thread did not stop";
}

// The stream's calls into the waveform-audio and timer API, in order, with
// the header as each header call found it.
struct WinmmCall {
    enum Kind { Prepare, Write, BeginPeriod, EndPeriod } kind;
    DWORD flags;
    DWORD loops;
    UINT period;
};
std::vector<WinmmCall> winmmCalls;
ImportPatch* preparePatch = nullptr;
ImportPatch* writePatch = nullptr;
ImportPatch* beginPatch = nullptr;
ImportPatch* endPatch = nullptr;

MMRESULT WINAPI recordPrepare(HWAVEOUT device, LPWAVEHDR header, UINT size) {
    winmmCalls.push_back({WinmmCall::Prepare, header->dwFlags, header->dwLoops, 0});
    return reinterpret_cast<decltype(&waveOutPrepareHeader)>(preparePatch->original)(device, header, size);
}
MMRESULT WINAPI recordWrite(HWAVEOUT device, LPWAVEHDR header, UINT size) {
    winmmCalls.push_back({WinmmCall::Write, header->dwFlags, header->dwLoops, 0});
    return reinterpret_cast<decltype(&waveOutWrite)>(writePatch->original)(device, header, size);
}
MMRESULT WINAPI recordBeginPeriod(UINT period) {
    winmmCalls.push_back({WinmmCall::BeginPeriod, 0, 0, period});
    return reinterpret_cast<decltype(&timeBeginPeriod)>(beginPatch->original)(period);
}
MMRESULT WINAPI recordEndPeriod(UINT period) {
    winmmCalls.push_back({WinmmCall::EndPeriod, 0, 0, period});
    return reinterpret_cast<decltype(&timeEndPeriod)>(endPatch->original)(period);
}
MMRESULT WINAPI failOpen(LPHWAVEOUT, UINT, LPCWAVEFORMATEX, DWORD_PTR, DWORD_PTR, DWORD) {
    return MMSYSERR_NODRIVER;
}

class AudioStreamCalls : public ::testing::Test {
protected:
    void SetUp() override {
        winmmCalls.clear();
        preparePatch = &prepare;
        writePatch = &write;
        beginPatch = &begin;
        endPatch = &end;
        ASSERT_NE(prepare.slot, nullptr);
        ASSERT_NE(write.slot, nullptr);
        ASSERT_NE(begin.slot, nullptr);
        ASSERT_NE(end.slot, nullptr);
    }

    ImportPatch prepare{"winmm.dll", "waveOutPrepareHeader", reinterpret_cast<void*>(recordPrepare)};
    ImportPatch write{"winmm.dll", "waveOutWrite", reinterpret_cast<void*>(recordWrite)};
    ImportPatch begin{"winmm.dll", "timeBeginPeriod", reinterpret_cast<void*>(recordBeginPeriod)};
    ImportPatch end{"winmm.dll", "timeEndPeriod", reinterpret_cast<void*>(recordEndPeriod)};
};

// The loop flags belong to the header only from after its preparation to
// the write; the 1 ms timer resolution spans the refill thread's life.
TEST_F(AudioStreamCalls, LoopFlagsComeAfterPreparingAndTheTimerIsRaisedWhileTheStreamRuns) {
    auto stream = std::make_unique<AudioStream>();
    startAudioStream(*stream, kSongModule, kSongModuleSize);
    if (!stream->device) GTEST_SKIP() << "no waveform-audio device (no sound server)";
    writePendingAudio(*stream);
    Sleep(20);
    stopAudioStream(*stream);

    ASSERT_EQ(winmmCalls.size(), 4u);
    EXPECT_EQ(winmmCalls[0].kind, WinmmCall::Prepare);
    EXPECT_EQ(winmmCalls[0].flags, 0u);
    EXPECT_EQ(winmmCalls[0].loops, 0u);
    EXPECT_EQ(winmmCalls[1].kind, WinmmCall::BeginPeriod);
    EXPECT_EQ(winmmCalls[1].period, 1u);
    EXPECT_EQ(winmmCalls[2].kind, WinmmCall::Write);
    EXPECT_EQ(winmmCalls[2].flags, DWORD(WHDR_PREPARED | WHDR_BEGINLOOP | WHDR_ENDLOOP));
    EXPECT_EQ(winmmCalls[2].loops, 0xFFFFFFFFu);
    EXPECT_EQ(winmmCalls[3].kind, WinmmCall::EndPeriod);
    EXPECT_EQ(winmmCalls[3].period, 1u);
    EXPECT_FALSE(stream->timerPeriodRaised);
}

// A silent show starts no refill thread and leaves the timer alone.
TEST_F(AudioStreamCalls, WithoutADeviceNothingIsPreparedAndTheTimerIsLeftAlone) {
    ImportPatch open{"winmm.dll", "waveOutOpen", reinterpret_cast<void*>(failOpen)};
    ASSERT_NE(open.slot, nullptr);
    auto stream = std::make_unique<AudioStream>();
    startAudioStream(*stream, kSongModule, kSongModuleSize);
    EXPECT_EQ(stream->device, nullptr);
    EXPECT_FALSE(stream->timerPeriodRaised);
    writePendingAudio(*stream);
    stopAudioStream(*stream);
    EXPECT_TRUE(winmmCalls.empty()) << winmmCalls.size() << " calls, the first of kind " << winmmCalls[0].kind;
}

}  // namespace
