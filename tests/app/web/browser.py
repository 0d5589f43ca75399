"""Shared pieces of the browser tests: the site on a local http server and
Debian's chromium, headless on SwiftShader's WebGL 2, driven by Selenium
through chromedriver. Nothing here reaches the network."""
import contextlib
import functools
import http.server
import shutil
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

CHROMIUM = '/usr/bin/chromium'
CHROMEDRIVER = '/usr/bin/chromedriver'

# Headless WebGL 2 on SwiftShader; the rest keeps a machine without network
# from filling the log with refused connections.
FLAGS = [
    '--headless=new', '--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--no-first-run', '--disable-quic', '--window-size=640,360',
]


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


@contextlib.contextmanager
def serve(site):
    """The folder `site` on an http server at a free localhost port; yields its URL."""
    handler = functools.partial(QuietHandler, directory=site)
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    try:
        yield 'http://127.0.0.1:%d/' % server.server_address[1]
    finally:
        server.shutdown()
        server.server_close()


@contextlib.contextmanager
def chromium(extra_flags=()):
    """A fresh headless chromium with its own profile, quit and removed afterwards."""
    profile = tempfile.mkdtemp(prefix='thaw-chromium-')
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in FLAGS + ['--user-data-dir=' + profile] + list(extra_flags):
        options.add_argument(flag)
    options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    try:
        yield driver
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)


def wait_for(driver, script, timeout, what):
    """Polls `script` (a JavaScript expression) until it is truthy; returns its value."""
    deadline = time.monotonic() + timeout
    while True:
        value = driver.execute_script('return ' + script)
        if value:
            return value
        if time.monotonic() > deadline:
            state = driver.execute_script('return window.thawline && [thawline.state, thawline.error]')
            raise AssertionError('%s: not within %.0f s (page state %s)' % (what, timeout, state))
        time.sleep(0.05)


def page_state(driver):
    return driver.execute_script('return window.thawline ? thawline.state : "no script"')


def console_errors(driver):
    return [entry['message'] for entry in driver.get_log('browser') if entry['level'] == 'SEVERE']
