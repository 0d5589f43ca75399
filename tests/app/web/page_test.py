"""The show's page in headless chromium: loading, the song, start, Escape and
the end, and the line shown without WebGL 2.

    page_test.py SITE_DIR XMRENDER MODULE.xm
"""
import hashlib
import os
import struct
import subprocess
import sys
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
        self.assertEqual(status, 'click or press a key to start')
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

    def test_click_starts_escape_and_any_key_again(self):
        self.open(SMALL)
        self.driver.find_element(By.ID, 'start').click()
        browser.wait_for(self.driver, 'thawline.state === "playing" && thawline.framesDrawn >= 2', 30,
                         'frames drawn after a click')
        self.assertFalse(self.driver.find_element(By.ID, 'start').is_displayed())
        self.press(Keys.ESCAPE)
        browser.wait_for(self.driver, 'thawline.state === "start"', 10, 'Escape returns to the start screen')
        self.assertEqual(self.driver.execute_script('return [thawline.endReason, thawline.runs]'), ['escape', 1])
        self.assertTrue(self.driver.find_element(By.ID, 'start').is_displayed())
        self.press('x')
        browser.wait_for(self.driver, 'thawline.state === "playing" && thawline.framesDrawn >= 1', 30,
                         'a key starts it again')
        self.assertEqual(browser.console_errors(self.driver), [])

    def test_the_song_end_returns_to_the_start_screen(self):
        # 0.3 s before the show's end (46.57 s).
        self.open(SMALL + '&from=46.27&autostart')
        browser.wait_for(self.driver, 'thawline.runs === 1', 30, 'the end returns to the start screen')
        self.assertEqual(self.driver.execute_script('return [thawline.state, thawline.endReason]'), ['start', 'end'])
        self.assertTrue(self.driver.find_element(By.ID, 'start').is_displayed())

    def test_leaving_full_screen_ends_the_show(self):
        self.open(SMALL)
        self.driver.find_element(By.ID, 'start').click()
        browser.wait_for(self.driver, 'thawline.state === "playing"', 30, 'the click starts the show')
        entered = browser.wait_for(self.driver, '!!document.fullscreenElement', 5, 'the show goes full screen')
        self.assertTrue(entered)
        self.driver.execute_script('document.exitFullscreen()')
        browser.wait_for(self.driver, 'thawline.state === "start"', 10, 'leaving full screen ends it')
        self.assertEqual(self.driver.execute_script('return thawline.endReason'), 'fullscreen')

    def test_stepping_rejects_numbers_out_of_range(self):
        for query in ('step&fps=0', 'step&frame=-1', 'step&count=1.5', 'step&fps=abc'):
            self.open(SMALL + '&' + query)
            self.assertEqual(browser.page_state(self.driver), 'error', query)
            self.assertIn('step wants whole numbers', self.driver.find_element(By.ID, 'status').text, query)

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


if __name__ == '__main__':
    unittest.main(argv=sys.argv[:1], verbosity=2)
