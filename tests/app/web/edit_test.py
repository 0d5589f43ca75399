"""The page's edit mode in headless chromium, driven by a scripted sync editor
on a WebSocket (python3-websockets) written from the protocol: the greeting
and the track requests, rows while playing, PAUSE, SET_ROW's exact seek, a
key change seen in the picture and taken back, SAVE_TRACKS' download, a
transport key, and malformed messages, after each of which the page comes
back.

    edit_test.py SITE_DIR TIMELINE
"""
import asyncio
import os
import queue
import shutil
import struct
import sys
import tempfile
import threading
import time
import xml.etree.ElementTree as ET

import websockets
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

import browser

SITE, TIMELINE = sys.argv[1:3]
NAMES = [t.get('name') for t in ET.parse(TIMELINE).getroot().find('tracks')]
ORIGINAL = open(TIMELINE, 'rb').read()
SEEK_ROW = 420


class Editor:
    """The editor's side on a loopback port; each connection the page makes
    is taken in turn with next_connection()."""

    def __init__(self):
        self.loop = asyncio.new_event_loop()
        threading.Thread(target=self.loop.run_forever, daemon=True).start()
        self.connections = queue.Queue()
        self.server = self.call(self.listen())
        self.port = self.server.sockets[0].getsockname()[1]
        self.socket = None

    def call(self, coroutine, timeout=60):
        return asyncio.run_coroutine_threadsafe(coroutine, self.loop).result(timeout)

    async def listen(self):
        return await websockets.serve(self.accept, '127.0.0.1', 0)

    async def accept(self, socket, path=None):
        self.connections.put(socket)
        await socket.wait_closed()

    def next_connection(self):
        self.socket = self.connections.get(timeout=60)

    def receive(self, timeout=60):
        return self.call(asyncio.wait_for(self.socket.recv(), timeout), timeout + 5)

    def send(self, message):
        self.call(self.socket.send(message))

    def handshake(self):
        greeting = self.receive()
        assert greeting == 'hello, synctracker!', 'not the greeting as one text message: %r' % greeting
        self.send('hello, demo!')
        asked = []
        while len(asked) < len(NAMES):
            message = self.receive()
            assert isinstance(message, bytes), 'a text message after the greeting: %r' % message
            if message[0] == 3:  # a row while playing may come between
                continue
            assert message[0] == 2, 'command %d before the tracks were asked for' % message[0]
            size = struct.unpack('>I', message[1:5])[0]
            assert len(message) == 5 + size, 'GET_TRACK not one message: %r' % message
            asked.append(message[5:].decode())
        assert asked == NAMES, 'tracks asked for %s, not the file\'s %s' % (asked, NAMES)

    def rows(self, seconds):
        """The SET_ROWs received within `seconds`, one message each."""
        rows, end = [], time.monotonic() + seconds
        while time.monotonic() < end:
            try:
                message = self.receive(max(0.05, end - time.monotonic()))
            except (asyncio.TimeoutError, TimeoutError):
                break
            assert message[0] == 3 and len(message) == 5, 'not a SET_ROW: %r' % message
            rows.append(struct.unpack('>I', message[1:])[0])
        return rows


def main():
    editor = Editor()
    where = 'ws://127.0.0.1:%d' % editor.port
    downloads = tempfile.mkdtemp(prefix='thaw-downloads-')
    with browser.serve(SITE) as url, browser.chromium(['--autoplay-policy=no-user-gesture-required']) as driver:
        driver.execute_cdp_cmd('Page.setDownloadBehavior', {'behavior': 'allow', 'downloadPath': downloads})

        def log_has(line, after=0):
            browser.wait_for(driver, 'thawline.editLog.slice(%d).includes(%r)' % (after, line), 60, line)
            return driver.execute_script('return thawline.editLog.length')

        def new_picture(drawn_before):
            # The exact one: a key change shows at once with the trail held, then exactly.
            browser.wait_for(driver, 'thawline.editFramesDrawn > %d && thawline.editSettled' % drawn_before, 120,
                             'a new picture')
            return driver.execute_async_script('thawline.pictureDigest().then(arguments[arguments.length - 1])')

        def drawn():
            return driver.execute_script('return thawline.editFramesDrawn')

        driver.get(url + '?edit&autostart&size=160x90&preroll=1&sync=' + where)
        editor.next_connection()
        editor.handshake()
        n = log_has('connected to ' + where)
        assert driver.execute_script('return thawline.state') == 'editing'

        # Playing, the page tells the editor its row as it moves.
        rows = []
        deadline = time.monotonic() + 60
        while len(rows) < 2 and time.monotonic() < deadline:
            rows += editor.rows(1.0)
        assert len(rows) >= 2 and rows == sorted(rows) and len(set(rows)) == len(rows), 'rows while playing: %s' % rows

        # PAUSE holds the song; SET_ROW puts it exactly at the row's frame and draws it.
        editor.send(struct.pack('>BB', 4, 1))
        n = log_has('paused', n)
        editor.rows(1.0)  # any on their way before the pause
        count = drawn()
        editor.send(struct.pack('>BI', 3, SEEK_ROW))
        n = log_has('seek to row %d' % SEEK_ROW, n)
        before = new_picture(count)
        position = driver.execute_script('return [thawline.editPosition, thawline.editRow, thawline.editPaused]')
        assert position == [round(SEEK_ROW * 44100 * 3 / 68), SEEK_ROW, True], 'after SET_ROW: %s' % position
        assert editor.rows(1.0) == [], 'rows sent while paused'

        # A key changes the picture at once; deleting it gives the picture back.
        track = NAMES.index('GLOBE_BRIGHTNESS')
        count = drawn()
        editor.send(struct.pack('>BIIfB', 0, track, SEEK_ROW - 8, 40.0, 0))
        assert new_picture(count) != before, 'SET_KEY did not change the picture'
        count = drawn()
        editor.send(struct.pack('>BII', 1, track, SEEK_ROW - 8))
        assert new_picture(count) == before, 'DELETE_KEY did not give the picture back'

        # SAVE_TRACKS offers the timeline, as it was, for download.
        editor.send(b'\x05')
        n = log_has('saved 416 keys to thawline.rocket', n)
        saved = os.path.join(downloads, 'thawline.rocket')
        deadline = time.monotonic() + 30
        while not os.path.exists(saved) and time.monotonic() < deadline:
            time.sleep(0.1)
        assert open(saved, 'rb').read() == ORIGINAL, 'the download differs from the timeline file'

        # The transport keys move the song as the editor's SET_ROW does.
        driver.find_element(By.TAG_NAME, 'body').send_keys(Keys.RIGHT)  # one beat on
        n = log_has('seek to row %d' % (SEEK_ROW + 8), n)

        # Each malformed message closes the connection with one line; the page
        # comes back and keeps its keys.
        for message, fault in (
                (b'\x07', 'unknown command byte 7'),
                (b'\x00\x00\x00', 'a message ended inside SET_KEY (3 of 14 bytes)'),
                (struct.pack('>BIIfB', 0, 27, 0, 1.0, 0), 'SET_KEY for track 27, past the 27 tracks asked for'),
                ('hello again', 'a text message after the greeting'),
                (b'\x03' * 70000, 'a message of 70000 bytes, past the 65536 a message may hold')):
            editor.send(message)
            n = log_has('disconnected from %s: %s' % (where, fault), n)
            editor.next_connection()
            editor.handshake()
            n = log_has('connected to ' + where, n)

        # A loop from the keys, from the row to 64 rows on: playing, the song
        # comes back from its end to its start, and the rows reach the editor.
        body = driver.find_element(By.TAG_NAME, 'body')
        body.send_keys('[')
        body.send_keys(Keys.PAGE_DOWN)
        n = log_has('seek to row %d' % (SEEK_ROW + 72), n)
        body.send_keys(']')
        body.send_keys(Keys.LEFT)
        n = log_has('seek to row %d' % (SEEK_ROW + 64), n)
        editor.send(struct.pack('>BB', 4, 0))
        n = log_has('playing', n)
        rows = []
        deadline = time.monotonic() + 60
        while not any(b < a for a, b in zip(rows, rows[1:])) and time.monotonic() < deadline:
            rows += editor.rows(1.0)
        assert any(b < a for a, b in zip(rows, rows[1:])), 'no jump back in the loop: %s' % rows
        assert min(rows) >= SEEK_ROW + 8 and max(rows) < SEEK_ROW + 72, 'rows outside the loop: %s' % rows
        assert browser.console_errors(driver) == [], browser.console_errors(driver)
    shutil.rmtree(downloads, ignore_errors=True)
    print('page edit mode: handshake, rows, pause, seek, keys, save, a key and malformed messages as expected')


main()
