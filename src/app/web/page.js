// The show's page: the start screen, full screen, the song through WebAudio
// and the frame loop clocked by what the speaker has played. The C++ half
// (WebMain.cpp, in thawline.wasm) builds the graph and draws the frames.
//
// URL parameters:
//   autostart            start at once where the browser lets sound start
//   size=WxH             draw at this size instead of the screen's
//   step, fps=N, frame=K, count=C
//                        off-line stepping: frames 0 to K+C-1 at music time
//                        k / N, as the capture draws them; frames K to K+C-1
//                        are kept for reading back (window.thawline.frames)
//   from=SECONDS         start the song there (tests of the show's end)
'use strict';

const kSampleRate = 44100;

// State the tests and the curious can read.
const thawline = {
  state: 'loading',   // loading, start, starting, playing, stepped, error
  error: '',
  endReason: '',      // why the last run ended: end, escape, fullscreen
  runs: 0,            // runs ended so far
  songFrames: 0,
  songRenderMs: 0,
  firstFrameMs: 0,    // ms from navigation to the first frame on screen
  framesDrawn: 0,     // frames of the current or last run
  runStartedMs: 0,
  lastFrameMs: 0,
  width: 0,
  height: 0,
  frames: [],         // stepping: base64 RGBA rows, top first
  heardSeconds,
};
window.thawline = thawline;

// The context time the listener hears now. getOutputTimestamp pairs a
// context time with the moment it leaves the speaker, so the clock carries
// the output latency; it is moved on by the wall clock since then, but never
// past what the context has produced. Without it, the context's own
// latencies are taken off its position.
//   sample: { currentTime, baseLatency, outputLatency, timestamp, now }
//   (timestamp: getOutputTimestamp()'s result or null; now: performance.now())
function heardSeconds(sample) {
  const stamp = sample.timestamp;
  if (stamp && stamp.contextTime > 0 && stamp.performanceTime > 0) {
    const since = Math.max(0, sample.now - stamp.performanceTime) / 1000;
    return Math.min(stamp.contextTime + since, sample.currentTime);
  }
  const latency = (sample.baseLatency || 0) + (sample.outputLatency || 0);
  return Math.max(0, sample.currentTime - latency);
}

const params = new URLSearchParams(location.search);
const canvas = document.getElementById('show');
const startScreen = document.getElementById('start');
const statusLine = document.getElementById('status');

let module = null;
let audio = null;        // AudioContext, made on the first start
let song = null;         // AudioBuffer of the whole song
let source = null;       // the playing AudioBufferSourceNode
let startAt = 0;         // context time at which the song's `offset` plays
let offset = 0;          // song seconds at startAt
let lastPlayedFrames = 0;
let wentFullscreen = false;

function say(line) {
  statusLine.textContent = line;
}

function fail(line) {
  thawline.state = 'error';
  thawline.error = line;
  startScreen.classList.remove('hidden');
  say(line);
}

// What the browser's WebGL 2 lacks for the show, or '' (and the largest
// texture it draws into).
function probeWebGl() {
  const probe = document.createElement('canvas').getContext('webgl2');
  if (!probe) return { problem: 'This browser offers no WebGL 2, which the show needs.', maxSize: 0 };
  const floats = probe.getExtension('EXT_color_buffer_float');
  const dims = probe.getParameter(probe.MAX_VIEWPORT_DIMS);
  const maxSize = Math.min(probe.getParameter(probe.MAX_TEXTURE_SIZE), dims[0], dims[1]);
  const loser = probe.getExtension('WEBGL_lose_context');
  if (loser) loser.loseContext();
  if (!floats) {
    return { problem: 'This browser\u2019s WebGL 2 cannot draw into float textures (no EXT_color_buffer_float), ' +
                      'which the show needs.', maxSize };
  }
  return { problem: '', maxSize };
}

function parseSize(text) {
  const match = /^(\d{1,5})x(\d{1,5})$/.exec(text || '');
  if (!match) return null;
  const width = Number(match[1]);
  const height = Number(match[2]);
  return width >= 1 && height >= 1 ? { width, height } : null;
}

// The screen's size in device pixels, as the Windows show takes the
// screen's size; shrunk, proportions kept, to what WebGL can draw into.
function drawingSize(maxSize) {
  const asked = parseSize(params.get('size'));
  const ratio = window.devicePixelRatio || 1;
  let width = asked ? asked.width : Math.round(screen.width * ratio);
  let height = asked ? asked.height : Math.round(screen.height * ratio);
  const scale = Math.min(1, maxSize / Math.max(width, height));
  width = Math.max(1, Math.floor(width * scale));
  height = Math.max(1, Math.floor(height * scale));
  return { width, height };
}

function wholeNumber(name, fallback, low, high) {
  const text = params.get(name);
  if (text === null) return fallback;
  const value = Number(text);
  return Number.isInteger(value) && value >= low && value <= high ? value : NaN;
}

// Turns the rendered song into an AudioBuffer (two channels from the
// interleaved samples).
function makeSongBuffer() {
  const started = performance.now();
  const frames = module._thaw_web_render_song();
  thawline.songRenderMs = performance.now() - started;
  if (!frames) return null;
  const interleaved = new Float32Array(module.HEAPF32.buffer, module._thaw_web_song_samples(), 2 * frames);
  const buffer = new AudioBuffer({ numberOfChannels: 2, length: frames, sampleRate: kSampleRate });
  const left = new Float32Array(frames);
  const right = new Float32Array(frames);
  for (let i = 0; i < frames; ++i) {
    left[i] = interleaved[2 * i];
    right[i] = interleaved[2 * i + 1];
  }
  buffer.copyToChannel(left, 0);
  buffer.copyToChannel(right, 1);
  thawline.songFrames = frames;
  return buffer;
}

// SHA-256 of the song as the page plays it: the AudioBuffer's channels,
// interleaved again, as little-endian floats.
thawline.songDigest = async function songDigest() {
  if (!song) return '';
  const left = song.getChannelData(0);
  const right = song.getChannelData(1);
  const interleaved = new Float32Array(2 * song.length);
  for (let i = 0; i < song.length; ++i) {
    interleaved[2 * i] = left[i];
    interleaved[2 * i + 1] = right[i];
  }
  const digest = await crypto.subtle.digest('SHA-256', interleaved.buffer);
  return Array.from(new Uint8Array(digest), (b) => b.toString(16).padStart(2, '0')).join('');
};

function showStartScreen() {
  startScreen.classList.remove('hidden');
  say('click or press a key to start');
  thawline.state = 'start';
}

function playedFrames() {
  const heard = heardSeconds({
    currentTime: audio.currentTime,
    baseLatency: audio.baseLatency,
    outputLatency: audio.outputLatency,
    timestamp: audio.getOutputTimestamp ? audio.getOutputTimestamp() : null,
    now: performance.now(),
  });
  const seconds = offset + Math.max(0, heard - startAt);
  // Never backwards, whatever the estimates do between two frames.
  lastPlayedFrames = Math.max(lastPlayedFrames, Math.floor(seconds * kSampleRate));
  return lastPlayedFrames;
}

function frame() {
  if (thawline.state !== 'playing') return;
  if (!module._thaw_web_frame(playedFrames(), canvas.width, canvas.height)) {
    stopShow('end');
    return;
  }
  const now = performance.now();
  if (!thawline.firstFrameMs) thawline.firstFrameMs = now;
  thawline.framesDrawn += 1;
  thawline.lastFrameMs = now;
  requestAnimationFrame(frame);
}

function stopShow(reason) {
  if (thawline.state !== 'playing') return;
  if (source) {
    source.onended = null;
    source.stop();
    source.disconnect();
    source = null;
  }
  audio.suspend();
  thawline.endReason = reason;
  thawline.runs += 1;
  if (document.fullscreenElement && document.exitFullscreen) document.exitFullscreen().catch(() => {});
  wentFullscreen = false;
  showStartScreen();
}

function delay(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
}

// At the song's rate where the browser allows it (no resampling), else at
// the device's; null without WebAudio.
function makeAudioContext() {
  if (typeof AudioContext !== 'function') return null;
  try {
    return new AudioContext({ sampleRate: kSampleRate, latencyHint: 'interactive' });
  } catch (error) {
    try {
      return new AudioContext({ latencyHint: 'interactive' });
    } catch (again) {
      return null;
    }
  }
}

async function startShow() {
  if (thawline.state !== 'start') return;
  thawline.state = 'starting';
  if (!audio) audio = makeAudioContext();
  if (!audio) {
    fail('This browser gives the page no sound output (WebAudio), and the song is the show\u2019s clock.');
    return;
  }
  // Without a gesture the browser may keep the context suspended; resume()
  // then waits, so it is given a moment and the start screen stays.
  if (audio.state !== 'running') await Promise.race([audio.resume().catch(() => {}), delay(500)]);
  if (audio.state !== 'running') {
    if (document.fullscreenElement && document.exitFullscreen) document.exitFullscreen().catch(() => {});
    showStartScreen();
    return;
  }
  source = audio.createBufferSource();
  source.buffer = song;
  source.connect(audio.destination);
  offset = Math.min(Math.max(Number(params.get('from')) || 0, 0), song.duration);
  startAt = audio.currentTime + 0.05;
  lastPlayedFrames = 0;
  source.start(startAt, offset);
  module._thaw_web_restart();
  thawline.framesDrawn = 0;
  thawline.runStartedMs = performance.now();
  thawline.state = 'playing';
  startScreen.classList.add('hidden');
  requestAnimationFrame(frame);
}

// Full screen must be asked for inside the gesture, before anything waits.
function startFromGesture() {
  if (thawline.state !== 'start') return;
  const root = document.documentElement;
  if (root.requestFullscreen && !document.fullscreenElement) {
    root.requestFullscreen({ navigationUI: 'hide' }).then(() => { wentFullscreen = true; }, () => {});
  }
  startShow();
}

function listen() {
  startScreen.addEventListener('click', startFromGesture);
  canvas.addEventListener('click', startFromGesture);
  window.addEventListener('keydown', (event) => {
    if (event.key === 'Escape') {
      stopShow('escape');
      return;
    }
    if (thawline.state === 'start' && !event.repeat) startFromGesture();
  });
  document.addEventListener('fullscreenchange', () => {
    if (!document.fullscreenElement && wentFullscreen) stopShow('fullscreen');
  });
  canvas.addEventListener('webglcontextlost', (event) => {
    event.preventDefault();
    if (thawline.state === 'playing') stopShow('context lost');
    fail('The graphics device was lost; reload the page to play the show again.');
  });
}

// Off-line stepping: every frame from 0, as the capture draws them.
function stepFrames() {
  const fps = wholeNumber('fps', 60, 1, 1000);
  const first = wholeNumber('frame', 0, 0, 1000000);
  const count = wholeNumber('count', 1, 1, 1000);
  if (Number.isNaN(fps) || Number.isNaN(first) || Number.isNaN(count)) {
    fail('step wants whole numbers: fps 1-1000, frame 0-1000000, count 1-1000');
    return;
  }
  const bytes = canvas.width * canvas.height * 4;
  const pixels = module._malloc(bytes);
  for (let k = 0; k < first + count; ++k) {
    const keep = k >= first;
    if (!module._thaw_web_step(k, fps, keep ? pixels : 0)) {
      module._free(pixels);
      fail('reading frame ' + k + ' back failed');
      return;
    }
    if (keep) {
      const rows = module.HEAPU8.subarray(pixels, pixels + bytes);
      let text = '';
      for (let i = 0; i < rows.length; i += 0x8000) text += String.fromCharCode.apply(null, rows.subarray(i, i + 0x8000));
      thawline.frames.push(btoa(text));
    }
  }
  module._free(pixels);
  thawline.firstFrameMs = performance.now();
  startScreen.classList.add('hidden');
  thawline.state = 'stepped';
}

async function load() {
  const webgl = probeWebGl();
  if (webgl.problem) {
    fail(webgl.problem);
    return;
  }
  try {
    module = await createThawline();
  } catch (error) {
    fail('The show\u2019s program did not load (' + error + '); serve the folder over http.');
    return;
  }
  const size = drawingSize(webgl.maxSize);
  canvas.width = size.width;
  canvas.height = size.height;
  thawline.width = size.width;
  thawline.height = size.height;
  if (module._thaw_web_init(size.width, size.height) !== 0) {
    fail('The show cannot run here: ' + module.UTF8ToString(module._thaw_web_error()) + '.');
    return;
  }
  if (params.has('step')) {
    stepFrames();
    return;
  }
  song = makeSongBuffer();
  if (!song) {
    fail('The song could not be played.');
    return;
  }
  listen();
  showStartScreen();
  if (params.has('autostart')) startShow();
}

load();
