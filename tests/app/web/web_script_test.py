"""scripts/web.sh from the outside: where --out lands, what it refuses and
when, the swap of a finished site into place, --port and --help. Four small
files stand in for the built site (THAW_WEB_SITE), and a `cmake` that only
notes its call shows that refusals come before any build."""
import os
import pathlib
import re
import socket
import subprocess
import sys
import tempfile
import unittest

ROOT = pathlib.Path(__file__).resolve().parents[3]
FILES = ['index.html', 'page.js', 'thawline.js', 'thawline.wasm']
PAGE_PARAMETERS = ['autostart', 'size', 'from', 'step', 'fps', 'frame', 'count', 'edit', 'sync', 'preroll']


class WebScript(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.TemporaryDirectory(prefix='thaw-web-script-')
        self.dir = pathlib.Path(self.work.name)
        self.site = self.dir / 'built'
        self.site.mkdir()
        for name in FILES:
            (self.site / name).write_text('new ' + name)
        self.tools = self.dir / 'tools'
        self.tools.mkdir()
        self.builds = self.dir / 'cmake-calls'
        self.tool('cmake', 'echo "$*" >>"%s"; exit 1' % self.builds)

    def tearDown(self):
        self.work.cleanup()

    def tool(self, name, body):
        (self.tools / name).write_text('#!/bin/sh\n' + body + '\n')
        (self.tools / name).chmod(0o755)

    def run_script(self, *args, cwd=None, site=True):
        env = dict(os.environ, PATH='%s:%s' % (self.tools, os.environ['PATH']))
        env.pop('THAW_WEB_SITE', None)
        if site:
            env['THAW_WEB_SITE'] = str(self.site)
        return subprocess.run(['bash', str(ROOT / 'scripts' / 'web.sh')] + list(args), cwd=cwd or self.dir, env=env,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=120)

    def assertRefused(self, result, words):
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertRegex(result.stderr, r'^web: [^\n]*%s[^\n]*\n$' % re.escape(words))
        self.assertFalse(self.builds.exists(), 'a build was started before the refusal')

    def test_relative_out_is_the_callers_folder(self):
        caller = self.dir / 'caller'
        caller.mkdir()
        name = 'thaw-web-out-%d' % os.getpid()
        try:
            result = self.run_script('--out', name + '/site', cwd=caller)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(sorted(os.listdir(caller / name / 'site')), FILES)
        finally:
            stray = ROOT / name
            in_repository = stray.exists()
            subprocess.run(['rm', '-rf', str(stray)])
        self.assertFalse(in_repository, 'the site was written under the repository')

    def test_refuses_strangers_and_replaces_an_earlier_site_only_when_complete(self):
        out = self.dir / 'out'
        out.mkdir()
        (out / 'index.html').write_text('mine')
        (out / 'notes.txt').write_text('mine')
        self.assertRefused(self.run_script('--out', str(out), site=False), 'notes.txt')
        self.assertEqual([(out / n).read_text() for n in ('index.html', 'notes.txt')], ['mine', 'mine'])

        # An earlier site (here a file short) is ours to replace; a copy that
        # fails half way leaves it as it was.
        (out / 'notes.txt').unlink()
        self.tool('cp', 'case "$*" in *thawline.wasm*) exit 1 ;; esac; exec /bin/cp "$@"')
        self.assertEqual(self.run_script('--out', 'out').returncode, 1)
        self.assertEqual(os.listdir(out), ['index.html'])
        self.assertEqual((out / 'index.html').read_text(), 'mine')
        (self.tools / 'cp').unlink()

        result = self.run_script('--out', 'out')
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual({n: (out / n).read_text() for n in os.listdir(out)}, {n: 'new ' + n for n in FILES})
        self.assertEqual(sorted(os.listdir(self.dir)), ['built', 'out', 'tools'], 'leftovers beside the site')

    def test_bad_out_taken_port_and_bad_port_are_refused_before_building(self):
        (self.dir / 'plain').write_text('a file')
        self.assertRefused(self.run_script('--out', 'plain', site=False), 'is not a folder')
        with socket.socket() as taken:
            taken.bind(('127.0.0.1', 0))
            port = taken.getsockname()[1]
            self.assertRefused(self.run_script('--port', str(port), site=False), 'port %d' % port)
        for port in ['99999999999999999999', '0', '65536', '-1', '8e3', '']:
            self.assertRefused(self.run_script('--port', port, site=False), '--port wants a number from 1 to 65535')

    def test_help_names_every_page_parameter(self):
        page = (ROOT / 'src' / 'app' / 'web' / 'page.js').read_text()
        self.assertEqual(re.findall(r"^    \['(\w+)', \{", page, re.M), PAGE_PARAMETERS, 'the names the page reads')
        result = self.run_script('--help')
        self.assertEqual(result.returncode, 0)
        self.assertEqual(re.findall(r'^  (\w+)', result.stdout, re.M), PAGE_PARAMETERS, result.stdout)


if __name__ == '__main__':
    unittest.main(argv=sys.argv[:1], verbosity=2)
