"""The page's off-line stepping against the native OpenGL ES capture: the
same frames (every frame drawn from 0 at music time k / fps) on SwiftShader
in chromium and on Mesa's llvmpipe, compared frame by frame.

    frames_test.py SITE_DIR THAWLINE_CAPTURE

Two software rasterizers running the same GLSL do not agree to the bit: text
edges and the hashed noise of the palette come out differently, and the melt
trail carries such differences on. Measured at 320x180, frames 0-11 at 1 fps:
frame 0 identical, the rest 28.3-39.7 dB, at most 11.4 % of pixels off by
more than 16. The same frames one second apart fall to 10-18 dB for most of
them, so 25 dB per frame keeps a wrong time, a flipped or shifted picture or a
missing pass from passing.
"""
import base64
import math
import subprocess
import sys
import unittest

import browser
from frame_compare import compare_frame

SITE, CAPTURE = sys.argv[1:3]
WIDTH, HEIGHT, FPS, COUNT = 320, 180, 1, 12
MIN_PSNR = 25.0
MAX_FAR_SHARE = 0.2


class SteppedFrames(unittest.TestCase):
    def test_match_the_native_capture(self):
        native = subprocess.run([CAPTURE, '--size', '%dx%d' % (WIDTH, HEIGHT), '--fps', str(FPS),
                                 '--from', '0', '--to', str(COUNT // FPS)],
                                check=True, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
        size = WIDTH * HEIGHT * 4
        self.assertEqual(len(native), COUNT * size, 'native frames')
        query = '?step&size=%dx%d&fps=%d&frame=0&count=%d' % (WIDTH, HEIGHT, FPS, COUNT)
        with browser.serve(SITE) as url, browser.chromium() as driver:
            driver.get(url + query)
            browser.wait_for(driver, 'window.thawline && !["loading", "stepping"].includes(thawline.state)', 170,
                             'the frames are drawn')
            self.assertEqual(browser.page_state(driver), 'stepped', driver.execute_script('return thawline.error'))
            frames = [base64.b64decode(f) for f in driver.execute_script('return thawline.frames')]
            self.assertEqual(browser.console_errors(driver), [])
        self.assertEqual(len(frames), COUNT)
        failures = []
        for k, web in enumerate(frames):
            self.assertEqual(len(web), size)
            psnr, largest, far = compare_frame(web, native[k * size:(k + 1) * size], WIDTH * HEIGHT)
            print('frame %2d  t=%5.2f s  PSNR %6s dB  largest difference %3d  off by >16: %5.2f %%' %
                  (k, k / FPS, 'inf' if math.isinf(psnr) else '%.2f' % psnr, largest, 100 * far))
            if psnr < MIN_PSNR or far > MAX_FAR_SHARE:
                failures.append(k)
        self.assertEqual(failures, [], 'frames below %.0f dB or with more than %.0f %% of pixels far off' %
                         (MIN_PSNR, 100 * MAX_FAR_SHARE))


if __name__ == '__main__':
    unittest.main(argv=sys.argv[:1], verbosity=2)
