"""Times the show's page in headless chromium (SwiftShader's WebGL 2): from
navigation to the first frame on the canvas, and the frame rate while it plays.

    bench/web/page_bench.py [--site DIR] [--size WxH] [--seconds S] [--runs N]

Prints one line per run and the median. Build the site first (scripts/web.sh
--out or the web preset).
"""
import argparse
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'tests', 'app', 'web'))
import browser  # noqa: E402


def one_run(url, seconds):
    with browser.chromium(['--autoplay-policy=no-user-gesture-required']) as driver:
        driver.get(url)
        browser.wait_for(driver, 'window.thawline && (thawline.firstFrameMs > 0 || thawline.state === "error")', 120,
                         'the first frame')
        error = driver.execute_script('return thawline.error')
        if error:
            sys.exit('page_bench: the page says: ' + error.replace('\n', '; '))
        first = driver.execute_script('return thawline.firstFrameMs')
        time.sleep(seconds)
        # Frames on screen over the whole time since the run started: GL
        # calls return before the GPU has drawn, so the time of the last
        # frame alone would count queued frames as done.
        drawn, started, now, song_ms, width, height = driver.execute_script(
            'return [thawline.framesDrawn, thawline.runStartedMs, performance.now(), thawline.songRenderMs,'
            ' thawline.width, thawline.height]')
    fps = drawn / ((now - started) / 1000.0) if now > started else 0.0
    return first, fps, drawn, song_ms, width, height


def main():
    parser = argparse.ArgumentParser(description='Times the show\'s page in headless chromium.')
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..')
    parser.add_argument('--site', default=os.path.join(root, 'build', 'web'))
    parser.add_argument('--size', default='320x180')
    parser.add_argument('--seconds', type=float, default=10.0)
    parser.add_argument('--runs', type=int, default=3)
    options = parser.parse_args()
    if not os.path.isfile(os.path.join(options.site, 'thawline.wasm')):
        sys.exit('page_bench: no site in %s (build it with scripts/web.sh --out or the web preset)' % options.site)
    firsts, rates = [], []
    with browser.serve(options.site) as url:
        for run in range(options.runs):
            first, fps, drawn, song_ms, width, height = one_run(url + '?autostart&size=' + options.size,
                                                                 options.seconds)
            firsts.append(first)
            rates.append(fps)
            print('run %d: %dx%d  first frame %.0f ms after navigation (song rendered in %.0f ms), '
                  '%d frames in %.0f s: %.2f frames/s' % (run + 1, width, height, first, song_ms, drawn,
                                                          options.seconds, fps))
    print('median: first frame %.0f ms, %.2f frames/s' % (statistics.median(firsts), statistics.median(rates)))


if __name__ == '__main__':
    main()
