// The show's page: the start screen, full screen, the song through WebAudio
// and the frame loop clocked by what the speaker has played. The C++ half
// (WebMain.cpp, in thawline.wasm) builds the graph and draws the frames.
//
// URL parameters (each at most once; anything else present gets one line on
// the page naming it and what it accepts, and the show does not start):
//   autostart            start at once where the browser lets sound start
//   size=WxH             draw at this size instead of the screen's
//   step, fps=N, frame=K, count=C
//                        off-line stepping: frames 0 to K+C-1 at music time
//                        k / N, as the capture draws them; frames K to K+C-1
//                        are kept for reading back (window.thawline.frames).
//                        Drawn one at a time while the browser runs;
//                        Escape stops it.
//   from=SECONDS         start the song there (tests of the show's end)
//   edit                 edit mode: the song and the picture moved, paused and
//                        looped from the keyboard (Space, the arrows, Page Up and
//                        Down, Home, [ ] \) and by a sync editor, whose key changes
//                        show at once; its save offers the timeline for download
//   sync=ws://HOST:PORT  edit mode's sync editor (default ws://127.0.0.1:1339)
//   preroll=N            edit mode: frames drawn unseen after a seek to rebuild
//                        the melt trail (1 to 600, default 15)
'use strict';

const kSampleRate = 44100;

// State the tests and the curious can read.
const thawline = {
  state: 'loading',   // loading, start, starting, playing, stepping, stepped, stopped, error
  error: '',
  endReason: '',      // why the last run ended: end, escape, fullscreen, context lost
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
  stepsDrawn: 0,      // stepping: frames drawn so far
  editLog: [],        // edit mode: every line it said, in order
  editFramesDrawn: 0, // edit mode: new pictures drawn (a paused picture stands)
  editPosition: 0,    // edit mode: the song frame and row of the last frame
  editRow: 0,
  editPaused: false,
  editSettled: true,  // edit mode: the picture is exact (not one drawn at once with the trail held)
  saved: '',          // edit mode: the last timeline offered for download
  saves: 0,
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

const canvas = document.getElementById('show');
const startScreen = document.getElementById('start');
const statusLine = document.getElementById('status');

// The largest drawing the page makes: 4K UHD's pixel count. The show keeps six
// half-float RGBA targets at the drawing's size besides the screen texture and
// the canvas, some 60 bytes a pixel: about 500 MB of graphics memory here,
// where WebGL's largest size (8192 x 8192 in Chromium) would take 4 GB.
const kMaxPixels = 3840 * 2160;

let module = null;
let audio = null;        // AudioContext, made on the first start
let song = null;         // AudioBuffer of the whole song
let source = null;       // the playing AudioBufferSourceNode
let startAt = 0;         // context time at which the song's `offset` plays
let offset = 0;          // song seconds at startAt
let showSeconds = 0;     // music time at which the show ends
let lastPlayedFrames = 0;
let wentFullscreen = false;
let startCount = 0;      // counts starts and stops: a start that waited sees whether it still stands
let songOver = false;    // the source has played to its stop time
let stepStopAsked = false;
let pageOptions = null;

function say(line) {
  statusLine.textContent = line;
}

function leaveFullscreen() {
  wentFullscreen = false;
  if (document.fullscreenElement && document.exitFullscreen) document.exitFullscreen().catch(() => {});
}

// One or more lines on black, the picture hidden: a lost context may leave the
// canvas as the browser's broken-image box.
function fail(line) {
  thawline.state = 'error';
  thawline.error = line;
  leaveFullscreen();
  document.body.classList.add('failed');
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

function noValue(text) {
  return text === '' ? true : undefined;
}

function wholeNumber(low, high) {
  return (text) => {
    const value = /^\d{1,7}$/.test(text) ? Number(text) : NaN;
    return value >= low && value <= high ? value : undefined;
  };
}

// Each parameter: how to read its text (undefined when it cannot) and what
// it accepts, for the line that says so.
function parameterRules(limits) {
  return new Map([
    ['autostart', { read: noValue, wants: 'no value (just autostart)' }],
    ['size', {
      read: (text) => {
        const match = /^([1-9]\d{0,4})x([1-9]\d{0,4})$/.exec(text);
        if (!match) return undefined;
        const width = Number(match[1]);
        const height = Number(match[2]);
        const fits = width <= limits.maxSide && height <= limits.maxSide && width * height <= kMaxPixels;
        return fits ? { width, height } : undefined;
      },
      wants: 'WIDTHxHEIGHT in pixels, each side at most ' + limits.maxSide + ' and at most ' + kMaxPixels +
             ' pixels in all (3840x2160)',
    }],
    ['from', {
      read: (text) => (/^\d{1,3}(\.\d{1,6})?$/.test(text) && Number(text) < limits.showSeconds ? Number(text) : undefined),
      wants: 'seconds from 0 to below ' + limits.showSeconds + ' (the show\u2019s end), such as 12.5',
    }],
    ['step', { read: noValue, wants: 'no value (just step)' }],
    ['fps', { read: wholeNumber(1, 1000), wants: 'a whole number from 1 to 1000' }],
    ['frame', { read: wholeNumber(0, 1000000), wants: 'a whole number from 0 to 1000000' }],
    ['count', { read: wholeNumber(1, 1000), wants: 'a whole number from 1 to 1000' }],
    ['edit', { read: noValue, wants: 'no value (just edit)' }],
    ['sync', { read: syncAddress, wants: 'a WebSocket address ws://HOST:PORT' }],
    ['preroll', { read: wholeNumber(1, 600), wants: 'a whole number of frames from 1 to 600' }],
  ]);
}

// ws:// or wss:// with a host and nothing after the port.
function syncAddress(text) {
  let url;
  try {
    url = new URL(text);
  } catch (error) {
    return undefined;
  }
  const bare = url.pathname === '/' && !url.search && !url.hash && !url.username && !url.password;
  return (url.protocol === 'ws:' || url.protocol === 'wss:') && url.hostname && bare ? text : undefined;
}

function quoted(text) {
  return JSON.stringify(text.length > 40 ? text.slice(0, 40) + '\u2026' : text);
}

// The page's options from its query, and one line for each parameter that is
// present but not understood.
//   limits: { maxSide, showSeconds }
function readParameters(search, limits) {
  const rules = parameterRules(limits);
  const given = new Map();
  for (const [name, value] of new URLSearchParams(search)) given.set(name, (given.get(name) || []).concat([value]));
  const options = { autostart: false, size: null, from: 0, step: false, fps: 60, frame: 0, count: 1,
                    edit: false, sync: 'ws://127.0.0.1:1339', preroll: 15 };
  const problems = [];
  for (const [name, values] of given) {
    const rule = rules.get(name);
    if (!rule) {
      problems.push(quoted(name) + ' is not a parameter of this page; it takes ' + Array.from(rules.keys()).join(', '));
    } else if (values.length > 1) {
      problems.push(name + ' is given ' + values.length + ' times; give it once');
    } else {
      const value = rule.read(values[0]);
      if (value === undefined) problems.push(name + ' wants ' + rule.wants + ', not ' + quoted(values[0]));
      else options[name] = value;
    }
  }
  for (const name of ['fps', 'frame', 'count']) {
    if (given.has(name) && !given.has('step')) problems.push(name + ' works only with step (off-line stepping)');
  }
  for (const name of ['autostart', 'from', 'edit']) {
    if (given.has(name) && given.has('step')) problems.push(name + ' does not go with step, which draws off-line');
  }
  for (const name of ['sync', 'preroll']) {
    if (given.has(name) && !given.has('edit')) problems.push(name + ' works only with edit (edit mode)');
  }
  if (given.has('from') && given.has('edit')) problems.push('from does not go with edit; move with the keys or the editor');
  return { options, problems };
}

// The asked size, else the screen's size in device pixels (as the Windows
// show takes the screen's size) shrunk, proportions kept, to what WebGL draws
// into and to the page's pixel bound.
function drawingSize(asked, maxSize) {
  if (asked) return asked;
  const ratio = window.devicePixelRatio || 1;
  let width = Math.round(screen.width * ratio);
  let height = Math.round(screen.height * ratio);
  const scale = Math.min(1, maxSize / Math.max(width, height), Math.sqrt(kMaxPixels / (width * height)));
  width = Math.max(1, Math.floor(width * scale));
  height = Math.max(1, Math.floor(height * scale));
  return { width, height };
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

// Phones are tapped, and in portrait the scroller shows a few letters only.
function startLine() {
  const what = pageOptions && pageOptions.edit ? 'start editing' : 'start';
  if (!(navigator.maxTouchPoints > 0)) return 'click or press Enter to ' + what;
  if (window.innerHeight > window.innerWidth) return 'tap to ' + what + '\nturn the screen sideways to see the whole picture';
  return 'tap to ' + what;
}

function showStartScreen() {
  startScreen.classList.remove('hidden');
  say(startLine());
  thawline.state = 'start';
}

function heardNow() {
  return heardSeconds({
    currentTime: audio.currentTime,
    baseLatency: audio.baseLatency,
    outputLatency: audio.outputLatency,
    timestamp: audio.getOutputTimestamp ? audio.getOutputTimestamp() : null,
    now: performance.now(),
  });
}

function playedFrames() {
  const seconds = offset + Math.max(0, heardNow() - startAt);
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

function stopSource() {
  if (!source) return;
  source.onended = null;
  source.stop();
  source.disconnect();
  source = null;
}

// Ends a run, or a start still waiting for the sound, and returns to the
// start screen, out of full screen.
function stopShow(reason) {
  const playing = thawline.state === 'playing' || thawline.state === 'editing';
  if (!playing && thawline.state !== 'starting') return;
  startCount += 1;
  stopSource();
  if (thawline.state === 'editing') endEditing();
  if (audio) audio.suspend();
  thawline.endReason = reason;
  if (playing) thawline.runs += 1;
  leaveFullscreen();
  showStartScreen();
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

// waitMs: how long the sound may take to start; after a gesture the browser
// lets it (a busy machine may take a while), without one it may never.
async function startShow(from, waitMs) {
  if (thawline.state !== 'start') return;
  thawline.state = 'starting';
  const thisStart = ++startCount;
  if (!audio) audio = makeAudioContext();
  if (!audio) {
    fail('This browser gives the page no sound output (WebAudio), and the song is the show\u2019s clock.');
    return;
  }
  // Without a gesture the browser may keep the context suspended; resume()
  // then waits, so it is given a while and the start screen stays.
  if (audio.state !== 'running') await Promise.race([audio.resume().catch(() => {}), delay(waitMs)]);
  if (thisStart !== startCount) return;  // stopped while waiting
  if (audio.state !== 'running') {
    leaveFullscreen();
    showStartScreen();
    return;
  }
  if (pageOptions.edit) {
    beginEditing();
    return;
  }
  source = audio.createBufferSource();
  source.buffer = song;
  source.connect(audio.destination);
  offset = Math.min(from, song.duration);
  startAt = audio.currentTime + 0.05;
  lastPlayedFrames = 0;
  songOver = false;
  // The sound stops at the show's end by itself; a hidden page, which draws
  // no frames, ends the run when it has.
  source.onended = () => {
    songOver = true;
    if (document.hidden) stopShow('end');
  };
  source.start(startAt, offset);
  source.stop(startAt + Math.max(0, showSeconds - offset));
  module._thaw_web_restart();
  thawline.framesDrawn = 0;
  thawline.runStartedMs = performance.now();
  thawline.state = 'playing';
  startScreen.classList.add('hidden');
  requestAnimationFrame(frame);
}

// Full screen must be asked for inside the gesture, before anything waits;
// the browser may grant it after the start was stopped.
function startFromGesture(from) {
  if (thawline.state !== 'start') return;
  const root = document.documentElement;
  // Edit mode is a tool beside others: it stays in its window.
  if (root.requestFullscreen && !document.fullscreenElement && !pageOptions.edit) {
    root.requestFullscreen({ navigationUI: 'hide' }).then(() => {
      if (thawline.state === 'starting' || thawline.state === 'playing') wentFullscreen = true;
      else leaveFullscreen();
    }, () => {});
  }
  startShow(from, 5000);
}

function listen(from) {
  startScreen.addEventListener('click', () => startFromGesture(from));
  canvas.addEventListener('click', () => startFromGesture(from));
  window.addEventListener('keydown', (event) => {
    if (event.key === 'Escape') {
      stopShow('escape');
      return;
    }
    if (thawline.state === 'editing') {
      editKeyDown(event);
      return;
    }
    // Enter and Space only: the browser's own keys (F12, Tab, ...) stay its own.
    const startKey = event.key === 'Enter' || event.key === ' ';
    if (!startKey || event.repeat || event.ctrlKey || event.altKey || event.metaKey) return;
    if (thawline.state !== 'start') return;
    event.preventDefault();
    startFromGesture(from);
  });
  window.addEventListener('resize', () => {
    if (thawline.state === 'start') say(startLine());
  });
  document.addEventListener('fullscreenchange', () => {
    if (!document.fullscreenElement && wentFullscreen) stopShow('fullscreen');
  });
  document.addEventListener('visibilitychange', () => {
    if (document.hidden && songOver) stopShow('end');
  });
  canvas.addEventListener('webglcontextlost', (event) => {
    event.preventDefault();
    stopShow('context lost');
    fail('The graphics device was lost; reload the page to play the show again.');
  });
}

// ---- Edit mode ----------------------------------------------------------
// The C++ half (WebEdit.cpp) keeps the song and the picture in step and
// speaks the sync editor's protocol; the page plays the song, carries the
// editor's messages over a WebSocket and hands it the keys.

const kEditKeys = new Map([  // EditKey's numbers
  [' ', 0], ['ArrowLeft', 1], ['ArrowRight', 2], ['ArrowUp', 3], ['ArrowDown', 4], ['PageUp', 5],
  ['PageDown', 6], ['Home', 7], ['[', 8], [']', 9], ['\\', 10],
]);
const kRetryMs = 1000;

const editing = {
  paused: false,
  frame: 0,           // where the paused song stands
  loop: null,         // { start, end } in song frames while a loop is set
  from: 0,            // the song frame the played count runs on from
  socket: null,       // the editor's connection, or null
  retry: 0,           // the timer of the next connection attempt
  fpsSince: 0,
  fpsFrames: 0,
  fps: 0,
  statusAt: 0,
  strings: null,      // C strings the status line takes
};
const editBar = document.getElementById('editbar');

// A C string on the program's heap, freed by the caller.
function cString(text) {
  const bytes = new TextEncoder().encode(text);
  const at = module._malloc(bytes.length + 1);
  module.HEAPU8.set(bytes, at);
  module.HEAPU8[at + bytes.length] = 0;
  return at;
}

// The played count runs on from song frame `frame`, heard at context time `at`.
function countFrom(frame, at) {
  offset = frame / kSampleRate;
  startAt = at;
  lastPlayedFrames = frame;
  editing.from = frame;
}

function playSongFrom(frame) {
  stopSource();
  source = audio.createBufferSource();
  source.buffer = song;
  source.connect(audio.destination);
  countFrom(frame, audio.currentTime);
  loopSource();
  source.start(startAt, offset);
}

// The source node loops to the sample; only from inside the loop, as one
// past its end plays on until edit mode's core brings it back.
function loopSource() {
  const loop = editing.loop;
  if (!source) return;
  source.loop = !!loop && editing.from < loop.end;
  if (loop) {
    source.loopStart = loop.start / kSampleRate;
    source.loopEnd = loop.end / kSampleRate;
  }
}

// The song frame heard: the played count, wrapped as the node loops.
function songPosition() {
  if (editing.paused) return editing.frame;
  const linear = playedFrames();
  const loop = editing.loop;
  if (!source || !source.loop || linear < loop.end) return linear;
  return loop.start + (linear - loop.end) % (loop.end - loop.start);
}

function editSay(line, fault) {
  thawline.editLog.push(line);
  if (fault) console.warn(line);
  else console.log(line);
  editBar.lastChild.textContent = line;
}

// The song as edit mode's core moves it.
const editHooks = {
  seek(frame) {
    editing.frame = frame;
    if (editing.paused) lastPlayedFrames = frame;
    else playSongFrom(frame);
  },
  pause(paused) {
    if (paused === editing.paused) return;
    if (paused) {
      editing.frame = playedFrames();
      stopSource();
    } else {
      playSongFrom(editing.frame);
    }
    editing.paused = paused;
  },
  // A new loop counts on from the frame heard now, the node playing on.
  loop(on, start, end) {
    if (!editing.paused && source) {
      const here = songPosition();
      countFrom(here, heardNow());
    }
    editing.loop = on ? { start, end } : null;
    loopSource();
  },
  say: editSay,
  download(name, text) {
    thawline.saved = text;
    thawline.saves += 1;
    const url = URL.createObjectURL(new Blob([text], { type: 'application/xml' }));
    const link = document.createElement('a');
    link.href = url;
    link.download = name;
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
  },
};

// Sends what the conversation has waiting, each message on its own: the
// greeting as text, every command as binary.
function syncFlush() {
  const socket = editing.socket;
  for (let size; (size = module._thaw_web_sync_next()) > 0;) {
    const at = module._thaw_web_sync_message();
    const bytes = module.HEAPU8.slice(at, at + size);
    if (!socket || socket.readyState !== WebSocket.OPEN) continue;
    socket.send(bytes[0] === 0x68 ? new TextDecoder().decode(bytes) : bytes);  // 'h': the greeting
  }
}

function syncRetryLater() {
  clearTimeout(editing.retry);
  editing.retry = setTimeout(syncConnect, kRetryMs);
}

// Leaves a connection without another line (the refusal said why).
function syncDrop(socket) {
  editing.socket = null;
  socket.onclose = null;
  socket.close();
  syncRetryLater();
}

function syncMessage(socket, data) {
  if (editing.socket !== socket) return;
  const text = typeof data === 'string';
  const bytes = text ? new TextEncoder().encode(data) : new Uint8Array(data);
  // A message past the bound is refused on its size alone, unread.
  const at = bytes.length <= 65536 ? module._malloc(Math.max(1, bytes.length)) : 0;
  if (at) module.HEAPU8.set(bytes, at);
  const refused = module._thaw_web_sync_receive(at, bytes.length, text ? 1 : 0);
  if (at) module._free(at);
  if (refused) syncDrop(socket);
  else syncFlush();
}

function syncConnect() {
  if (thawline.state !== 'editing') return;
  let socket;
  try {
    socket = new WebSocket(pageOptions.sync);
  } catch (error) {
    editSay('cannot open ' + pageOptions.sync + ': ' + error.message, true);
    return;
  }
  socket.binaryType = 'arraybuffer';
  editing.socket = socket;
  socket.onopen = () => {
    module._thaw_web_sync_open();
    syncFlush();
  };
  socket.onmessage = (event) => syncMessage(socket, event.data);
  socket.onclose = (event) => {
    if (editing.socket !== socket) return;
    editing.socket = null;
    const greeted = module._thaw_web_sync_state() === 2;
    const why = !greeted ? 'the connection closed during the greeting'
      : event.code === 1000 || event.code === 1001 ? 'the editor closed the connection'
      : 'the connection closed (WebSocket code ' + event.code + ')';
    const at = cString(why);
    module._thaw_web_sync_closed(at);
    module._free(at);
    syncRetryLater();
  };
}

function editKeyDown(event) {
  const key = kEditKeys.get(event.key);
  if (key === undefined || event.ctrlKey || event.altKey || event.metaKey) return;
  event.preventDefault();
  module._thaw_web_edit_key(key, songPosition());
}

function editStatus(now) {
  if (now - editing.fpsSince >= 1000) {
    editing.fps = editing.fpsFrames * 1000 / (now - editing.fpsSince);
    editing.fpsFrames = 0;
    editing.fpsSince = now;
  }
  if (now - editing.statusAt < 250) return;
  editing.statusAt = now;
  const connection = module._thaw_web_sync_state() === 2 ? editing.strings.connected : editing.strings.waiting;
  const line = module.UTF8ToString(module._thaw_web_edit_status(editing.fps, connection));
  document.title = 'Thawline edit | ' + line;
  editBar.firstChild.textContent = line;
}

function editFrame() {
  if (thawline.state !== 'editing') return;
  const drawn = module._thaw_web_edit_frame(songPosition(), canvas.width, canvas.height);
  syncFlush();  // the playing row
  const now = performance.now();
  thawline.editPosition = module._thaw_web_edit_position();
  thawline.editRow = module._thaw_web_edit_row();
  thawline.editPaused = module._thaw_web_edit_paused() !== 0;
  thawline.editSettled = module._thaw_web_edit_settled() !== 0;
  if (drawn) {
    if (!thawline.firstFrameMs) thawline.firstFrameMs = now;
    thawline.editFramesDrawn += 1;
    thawline.framesDrawn += 1;
    editing.fpsFrames += 1;
  }
  thawline.lastFrameMs = now;
  editStatus(now);
  requestAnimationFrame(editFrame);
}

function beginEditing() {
  thawline.state = 'editing';
  thawline.runStartedMs = performance.now();
  if (!editing.strings) editing.strings = { connected: cString('editor connected'), waiting: cString('waiting for the editor') };
  editing.paused = false;
  editing.loop = null;
  editing.fpsSince = performance.now();
  playSongFrom(0);
  module.thawEdit = editHooks;
  const where = cString(pageOptions.sync);
  module._thaw_web_edit_begin(pageOptions.preroll, where);
  module._free(where);
  startScreen.classList.add('hidden');
  editBar.classList.remove('hidden');
  syncConnect();
  requestAnimationFrame(editFrame);
}

function endEditing() {
  clearTimeout(editing.retry);
  const socket = editing.socket;
  if (socket) {
    editing.socket = null;
    socket.onclose = null;
    socket.close();
    const at = cString('edit mode stopped');
    module._thaw_web_sync_closed(at);
    module._free(at);
  }
  editBar.classList.add('hidden');
}

// The picture on the screen as a SHA-256 of its RGBA rows (tests).
thawline.pictureDigest = async function pictureDigest() {
  const bytes = canvas.width * canvas.height * 4;
  const at = module._malloc(bytes);
  const ok = module._thaw_web_read_screen(at);
  const pixels = module.HEAPU8.slice(at, at + bytes);
  module._free(at);
  if (!ok) return '';
  const digest = await crypto.subtle.digest('SHA-256', pixels.buffer);
  return Array.from(new Uint8Array(digest), (b) => b.toString(16).padStart(2, '0')).join('');
};

function delay(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
}

// Waits, letting the browser run, until the graphics device has done what it
// was given. WebGL calls return at once and queue work for the device; a
// frame may take the device a second where the calls took a millisecond, so
// pacing by the calls' time would pile up minutes of work and block the page.
async function deviceCaughtUp(gl) {
  const fence = gl.fenceSync(gl.SYNC_GPU_COMMANDS_COMPLETE, 0);
  gl.flush();
  // A fence's state changes only between the page's tasks.
  while (gl.clientWaitSync(fence, 0, 0) === gl.TIMEOUT_EXPIRED) await delay(1);
  gl.deleteSync(fence);
}

// Off-line stepping: every frame from 0, as the capture draws them, one at a
// time, the browser running (and Escape heard) while the device draws.
async function stepFrames(fps, first, count) {
  const gl = canvas.getContext('webgl2');  // the context the C++ half draws with
  const bytes = canvas.width * canvas.height * 4;
  const pixels = module._malloc(bytes);
  if (!pixels) {
    fail('no memory for a ' + canvas.width + 'x' + canvas.height + ' frame');
    return;
  }
  window.addEventListener('keydown', (event) => {
    if (event.key === 'Escape') stepStopAsked = true;
  });
  thawline.state = 'stepping';
  say('drawing frames 0 to ' + (first + count - 1) + ' (Escape stops)');
  const end = first + count;
  for (let k = 0; k < end; ++k) {
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
    thawline.stepsDrawn = k + 1;
    await deviceCaughtUp(gl);
    if (stepStopAsked && k + 1 < end) {
      module._free(pixels);
      thawline.state = 'stopped';
      say('stepping stopped after ' + (k + 1) + ' of ' + end + ' frames');
      return;
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
  showSeconds = module._thaw_web_show_seconds();
  const { options, problems } = readParameters(location.search, { maxSide: webgl.maxSize, showSeconds });
  pageOptions = options;
  if (problems.length) {
    fail(problems.join('\n'));
    return;
  }
  const size = drawingSize(options.size, webgl.maxSize);
  canvas.width = size.width;
  canvas.height = size.height;
  thawline.width = size.width;
  thawline.height = size.height;
  if (module._thaw_web_init(size.width, size.height) !== 0) {
    fail('The show cannot run here: ' + module.UTF8ToString(module._thaw_web_error()) + '.');
    return;
  }
  if (options.step) {
    stepFrames(options.fps, options.frame, options.count);
    return;
  }
  song = makeSongBuffer();
  if (!song) {
    fail('The song could not be played.');
    return;
  }
  listen(options.from);
  showStartScreen();
  if (options.autostart) startShow(options.from, 500);
}

load();
