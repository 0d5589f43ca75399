"""The show's page in headless chromium: loading, the song, start, Escape and
the end, full screen, the lines for parameters it cannot read, a lost
context, a hidden tab, stepping, a phone, and the line shown without WebGL 2.

    page_test.py SITE_DIR XMRENDER MODULE.xm
"""
import hashlib
import os
import struct
import subprocess
import sys
import re
import tempfile
import time
import unittest

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

import browser

SITE, XMRENDER, MODULE = sys.argv[1:4]
# Small drawings keep SwiftShader's frames quick; the page's logic is the same.
SMALL = 'size=160x90'


def wave_float_data(path):
    """The data chunk of a float WAVE file."""
    with open(path, 'rb') as f:
        data = f.read()
    if data[:4] != b'RIFF' or data[8:12] != b'WAVE':
        raise AssertionError('%s is not a WAVE file' % path)
    at = 12
    while at + 8 <= len(data):
        name, size = data[at:at + 4], struct.unpack('<I', data[at + 4:at + 8])[0]
        if name == b'data':
            return data[at + 8:at + 8 + size]
        at += 8 + size + (size & 1)
    raise AssertionError('%s has no data chunk' % path)


class LivePage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls._stack = []
        cls.server = browser.serve(SITE)
        cls.url = cls.server.__enter__()
        # Sound may start without a gesture only where tests ask for it (autostart).
        cls.browser = browser.chromium(['--autoplay-policy=no-user-gesture-required'])
        cls.driver = cls.browser.__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.browser.__exit__(None, None, None)
        cls.server.__exit__(None, None, None)

    def open(self, query):
        self.driver.get(self.url + '?' + query)
        browser.wait_for(self.driver, 'window.thawline && thawline.state !== "loading"', 60, 'the page loads')

    def press(self, key):
        ActionChains(self.driver).send_keys(key).perform()

    def test_loads_without_console_errors_and_builds_every_program(self):
        self.open(SMALL)
        # 'start' only once the context has WebGL 2 with float targets and every
        # program compiled and linked (the C++ half checks each pass's program).
        self.assertEqual(browser.page_state(self.driver), 'start', self.driver.execute_script('return thawline.error'))
        status = self.driver.find_element(By.ID, 'status').text
        self.assertEqual(status, 'click or press Enter to start')
        self.assertIn('THAWLINE', self.driver.find_element(By.ID, 'start').text)
        self.assertEqual(browser.console_errors(self.driver), [])

    def test_song_equals_the_xmrender_render(self):
        self.open(SMALL)
        with tempfile.TemporaryDirectory() as work:
            wav = os.path.join(work, 'song.wav')
            subprocess.run([XMRENDER, MODULE, wav, '--format', 'f32'], check=True, stdout=subprocess.DEVNULL)
            expected = wave_float_data(wav)
        frames = self.driver.execute_script('return thawline.songFrames')
        self.assertEqual(frames, len(expected) // 8, 'song length in frames')
        digest = self.driver.execute_async_script(
            'const done = arguments[arguments.length - 1]; thawline.songDigest().then(done);')
        self.assertEqual(digest, hashlib.sha256(expected).hexdigest(), 'the samples differ from xmrender\'s')

    def started_by(self, what):
        what()
        browser.wait_for(self.driver, 'thawline.state === "playing" && thawline.framesDrawn >= 1', 30,
                         'frames drawn after a start')
        self.assertFalse(self.driver.find_element(By.ID, 'start').is_displayed())
        self.press(Keys.ESCAPE)
        browser.wait_for(self.driver, 'thawline.state === "start"', 10, 'Escape returns to the start screen')

    def test_click_enter_and_space_start_and_other_keys_do_not(self):
        self.open(SMALL)
        # The browser's own keys stay its own (state would be "starting" at once).
        for key in (Keys.F12, Keys.TAB, 'x', Keys.ARROW_DOWN):
            self.press(key)
            self.assertEqual(browser.page_state(self.driver), 'start', repr(key))
        self.started_by(lambda: self.driver.find_element(By.ID, 'start').click())
        self.assertEqual(self.driver.execute_script('return [thawline.endReason, thawline.runs]'), ['escape', 1])
        self.assertTrue(self.driver.find_element(By.ID, 'start').is_displayed())
        # The last frame stays behind the start screen, dimmed.
        shade = self.driver.execute_script('return getComputedStyle(document.getElementById("start")).backgroundColor')
        channels = [float(c) for c in re.findall(r'[\d.]+', shade)]
        self.assertEqual(channels[:3], [0, 0, 0], shade)
        self.assertGreaterEqual(channels[3] if len(channels) == 4 else 1.0, 0.75, shade)
        self.started_by(lambda: self.press(Keys.ENTER))
        self.started_by(lambda: self.press(Keys.SPACE))
        self.assertEqual(self.driver.execute_script('return thawline.runs'), 3)
        self.assertEqual(browser.console_errors(self.driver), [])

    def test_the_song_end_returns_to_the_start_screen(self):
        # 0.3 s before the show's end (46.57 s).
        self.open(SMALL + '&from=46.27&autostart')
        browser.wait_for(self.driver, 'thawline.runs === 1', 30, 'the end returns to the start screen')
        self.assertEqual(self.driver.execute_script('return [thawline.state, thawline.endReason]'), ['start', 'end'])
        self.assertTrue(self.driver.find_element(By.ID, 'start').is_displayed())

    def test_leaving_full_screen_ends_the_show_and_a_stop_leaves_full_screen(self):
        self.open(SMALL)
        self.driver.find_element(By.ID, 'start').click()
        browser.wait_for(self.driver, 'thawline.state === "playing"', 30, 'the click starts the show')
        entered = browser.wait_for(self.driver, '!!document.fullscreenElement', 5, 'the show goes full screen')
        self.assertTrue(entered)
        self.driver.execute_script('document.exitFullscreen()')
        browser.wait_for(self.driver, 'thawline.state === "start"', 10, 'leaving full screen ends it')
        self.assertEqual(self.driver.execute_script('return thawline.endReason'), 'fullscreen')
        # Stopped before the browser grants full screen: it is left when granted.
        ActionChains(self.driver).send_keys(Keys.SPACE).send_keys(Keys.ESCAPE).perform()
        browser.wait_for(self.driver, 'thawline.state === "start"', 10, 'Escape stops the start')
        time.sleep(1.5)
        self.assertEqual(self.driver.execute_script('return [thawline.state, !!document.fullscreenElement]'),
                         ['start', False])

    def test_every_parameter_it_cannot_read_gets_a_line(self):
        cases = [
            ('size=0x0&from=abc&autostart=no&fps=30&colour=red',
             ['size wants WIDTHxHEIGHT', 'from wants seconds', 'autostart wants no value', '"colour" is not a parameter',
              'fps works only with step']),
            ('size=99999x99999&from=1e9&frame=3&count=2',
             ['size wants', 'from wants', 'frame works only with step', 'count works only with step']),
            ('size=%20640x360&from=-3', ['size wants', 'from wants']),
            ('size=640x360x2&from=46.57', ['size wants', 'from wants']),
            ('size=-5x10&size=abc', ['size is given 2 times']),
            ('size=4000x4000', ['size wants']),     # within WebGL's 8192, past the pixel bound
            ('step=1&from=3', ['step wants no value', 'from does not go with step']),
            ('sync=http://host:1339&preroll=0', ['sync wants a WebSocket address', 'preroll wants a whole number',
                                                  'sync works only with edit', 'preroll works only with edit']),
            ('edit&step&from=1&sync=ws://h:1/path', ['sync wants', 'from does not go with step',
                                                     'edit does not go with step', 'from does not go with edit']),
        ]
        for query, expected in cases:
            self.open(query)
            self.assertEqual(browser.page_state(self.driver), 'error', query)
            lines = self.driver.find_element(By.ID, 'status').text.split('\n')
            self.assertEqual(len(lines), len(expected), (query, lines))
            for line, words in zip(lines, expected):
                self.assertIn(words, line, query)

    def test_lost_context_in_full_screen_leaves_lines_on_black(self):
        self.open(SMALL)
        self.driver.find_element(By.ID, 'start').click()
        browser.wait_for(self.driver, 'thawline.state === "playing" && !!document.fullscreenElement', 30,
                         'the show plays in full screen')
        self.driver.execute_script(
            'document.getElementById("show").getContext("webgl2").getExtension("WEBGL_lose_context").loseContext()')
        browser.wait_for(self.driver, 'thawline.state === "error" && !document.fullscreenElement', 10,
                         'the loss stops the show and leaves full screen')
        self.assertIn('graphics device was lost', self.driver.find_element(By.ID, 'status').text)
        self.assertFalse(self.driver.find_element(By.ID, 'show').is_displayed(), 'the lost canvas is still shown')
        colours = self.driver.execute_script(
            'const start = getComputedStyle(document.getElementById("start"));'
            'const line = getComputedStyle(document.getElementById("status"));'
            'return [start.backgroundColor, line.color, line.opacity];')
        self.assertEqual(colours, ['rgb(0, 0, 0)', 'rgb(232, 244, 255)', '1'])

    def test_a_hidden_tab_ends_the_song_on_time(self):
        # 0.77 s of show left; the tab is hidden at once, for 3 s, and the run
        # must end while it is (a hidden page draws no frames).
        self.open(SMALL + '&from=45.8&autostart')
        browser.wait_for(self.driver, 'thawline.state === "playing"', 30, 'autostart plays')
        self.driver.execute_script(
            'window.hiddenMs = 0; window.shownMs = 0; window.endedMs = 0;'
            'document.addEventListener("visibilitychange", () => {'
            '  if (document.hidden) window.hiddenMs = performance.now(); else window.shownMs = performance.now(); });'
            'const start = document.getElementById("start");'
            'new MutationObserver(() => {'
            '  if (!window.endedMs && !start.classList.contains("hidden")) window.endedMs = performance.now();'
            '}).observe(start, { attributes: true });')
        shown = self.driver.current_window_handle
        self.driver.switch_to.new_window('tab')
        time.sleep(3)
        self.driver.close()
        self.driver.switch_to.window(shown)
        browser.wait_for(self.driver, 'thawline.runs === 1 && window.shownMs > 0', 10, 'the run ends, the tab shown')
        reason, hidden, ended, shown_again = self.driver.execute_script(
            'return [thawline.endReason, window.hiddenMs, window.endedMs, window.shownMs]')
        self.assertEqual(reason, 'end')
        self.assertGreater(hidden, 0, 'the page was never hidden')
        self.assertLess(ended, shown_again, 'the run ended only when the tab was shown again')

    def test_stepping_lets_the_page_run_and_escape_stops_it(self):
        self.open('step&frame=1000000&count=1&size=16x9')
        drawn = self.driver.execute_script('return thawline.stepsDrawn')
        browser.wait_for(self.driver, 'thawline.stepsDrawn > %d' % drawn, 10, 'stepping goes on between scripts')
        self.assertEqual(browser.page_state(self.driver), 'stepping')
        self.press(Keys.ESCAPE)
        browser.wait_for(self.driver, 'thawline.state === "stopped"', 10, 'Escape stops the stepping')
        self.assertEqual(self.driver.execute_script('return thawline.frames.length'), 0)
        self.assertIn('stepping stopped after', self.driver.find_element(By.ID, 'status').text)

    def test_stepping_rejects_numbers_out_of_range(self):
        for name, query in (('fps', 'step&fps=0'), ('frame', 'step&frame=-1'), ('count', 'step&count=1.5'),
                            ('fps', 'step&fps=abc'), ('frame', 'step&frame=1000001')):
            self.open(SMALL + '&' + query)
            self.assertEqual(browser.page_state(self.driver), 'error', query)
            self.assertIn(name + ' wants a whole number', self.driver.find_element(By.ID, 'status').text, query)

    def test_music_clock_counts_what_the_speaker_played(self):
        heard = lambda sample: self.driver.execute_script('return thawline.heardSeconds(arguments[0])', sample)
        self.open(SMALL)
        # The output timestamp carries the latency; the wall clock moves it on
        # (here 20 ms) but never past what the context produced.
        stamp = {'contextTime': 2.0, 'performanceTime': 1000.0}
        self.assertAlmostEqual(heard({'currentTime': 2.1, 'timestamp': stamp, 'now': 1020.0}), 2.02)
        self.assertAlmostEqual(heard({'currentTime': 2.1, 'timestamp': stamp, 'now': 1500.0}), 2.1)
        self.assertAlmostEqual(heard({'currentTime': 2.1, 'timestamp': stamp, 'now': 900.0}), 2.0)
        # Without a timestamp yet (contextTime 0) the latencies are taken off.
        no_stamp = {'contextTime': 0, 'performanceTime': 0}
        self.assertAlmostEqual(heard({'currentTime': 1.0, 'baseLatency': 0.01, 'outputLatency': 0.04,
                                      'timestamp': no_stamp, 'now': 5.0}), 0.95)
        self.assertAlmostEqual(heard({'currentTime': 1.0, 'baseLatency': 0.01, 'timestamp': None, 'now': 5.0}), 0.99)
        self.assertEqual(heard({'currentTime': 0.005, 'baseLatency': 0.01, 'timestamp': None, 'now': 5.0}), 0)


class WithoutWebGl2(unittest.TestCase):
    def test_says_so_in_one_line(self):
        with browser.serve(SITE) as url, browser.chromium(['--disable-webgl2']) as driver:
            driver.get(url)
            browser.wait_for(driver, 'window.thawline && thawline.state !== "loading"', 60, 'the page loads')
            self.assertEqual(browser.page_state(driver), 'error')
            line = driver.find_element(By.ID, 'status').text
            self.assertIn('no WebGL 2', line)
            self.assertNotIn('\n', line)
            self.assertTrue(driver.find_element(By.ID, 'start').is_displayed())


class OnAPhone(unittest.TestCase):
    def test_says_tap_and_sideways_in_portrait(self):
        with browser.serve(SITE) as url, browser.chromium() as driver:
            def as_phone(width, height):
                driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride', {
                    'width': width, 'height': height, 'deviceScaleFactor': 3, 'mobile': True})
            driver.execute_cdp_cmd('Emulation.setTouchEmulationEnabled', {'enabled': True, 'maxTouchPoints': 5})
            as_phone(360, 740)
            driver.get(url)
            browser.wait_for(driver, 'window.thawline && thawline.state !== "loading"', 60, 'the page loads')
            self.assertEqual(driver.find_element(By.ID, 'status').text.split('\n'),
                             ['tap to start', 'turn the screen sideways to see the whole picture'])
            as_phone(740, 360)
            browser.wait_for(driver, 'document.getElementById("status").textContent === "tap to start"', 5,
                             'sideways, the hint goes')


if __name__ == '__main__':
    unittest.main(argv=sys.argv[:1], verbosity=2)
