"""scripts/web.sh from the outside: where --out lands, what it refuses and
when, the swap of a finished site into place, --port and --help. A site
made of four small files stands in for the build (THAW_WEB_SITE), and a
`cmake` that only notes it was called shows that refusals come before any
build.

    web_script_test.py
"""
import os
import re
import socket
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', '..'))
SCRIPT = os.path.join(ROOT, 'scripts', 'web.sh')
FILES = ['index.html', 'page.js', 'thawline.js', 'thawline.wasm']
PAGE_PARAMETERS = ['autostart', 'size', 'from', 'step', 'fps', 'frame', 'count']


class WebScript(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.TemporaryDirectory(prefix='thaw-web-script-')
        self.dir = self.work.name
        self.site = os.path.join(self.dir, 'built')
        os.mkdir(self.site)
        for name in FILES:
            self.write(os.path.join(self.site, name), 'new ' + name)
        self.tools = os.path.join(self.dir, 'tools')
        os.mkdir(self.tools)
        self.builds = os.path.join(self.dir, 'cmake-calls')
        self.tool('cmake', 'echo "$*" >>"%s"; exit 1' % self.builds)

    def tearDown(self):
        self.work.cleanup()

    def write(self, path, text):
        with open(path, 'w') as f:
            f.write(text)

    def read(self, path):
        with open(path) as f:
            return f.read()

    def tool(self, name, body):
        path = os.path.join(self.tools, name)
        self.write(path, '#!/bin/sh\n' + body + '\n')
        os.chmod(path, 0o755)

    def run_script(self, *args, cwd=None, site=True):
        env = dict(os.environ, PATH=self.tools + os.pathsep + os.environ['PATH'])
        env.pop('THAW_WEB_SITE', None)
        if site:
            env['THAW_WEB_SITE'] = self.site
        return subprocess.run(['bash', SCRIPT] + list(args), cwd=cwd or self.dir, env=env,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=120)

    def assertRefused(self, result, words):
        self.assertEqual(result.returncode, 1, result.stderr)
        lines = result.stderr.splitlines()
        self.assertEqual(len(lines), 1, result.stderr)
        self.assertTrue(lines[0].startswith('web: '), lines[0])
        self.assertIn(words, lines[0])
        self.assertFalse(os.path.exists(self.builds), 'a build was started before the refusal')

    def test_relative_out_is_the_callers_folder(self):
        caller = os.path.join(self.dir, 'caller')
        os.mkdir(caller)
        name = 'thaw-web-out-%d' % os.getpid()
        try:
            result = self.run_script('--out', os.path.join(name, 'site'), cwd=caller)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(sorted(os.listdir(os.path.join(caller, name, 'site'))), sorted(FILES))
        finally:
            stray = os.path.join(ROOT, name)
            moved = os.path.isdir(stray)
            subprocess.run(['rm', '-rf', stray])
        self.assertFalse(moved, 'the site was written under the repository')

    def test_refuses_strangers_and_replaces_an_earlier_site_only_when_complete(self):
        out = os.path.join(self.dir, 'out')
        os.mkdir(out)
        self.write(os.path.join(out, 'index.html'), 'mine')
        self.write(os.path.join(out, 'notes.txt'), 'mine')
        self.assertRefused(self.run_script('--out', out, site=False), 'notes.txt')
        self.assertEqual(self.read(os.path.join(out, 'notes.txt')), 'mine')
        self.assertEqual(self.read(os.path.join(out, 'index.html')), 'mine')

        # An earlier site (here with a file fewer) is ours to replace. A copy
        # that fails half way leaves it as it was.
        os.remove(os.path.join(out, 'notes.txt'))
        self.write(os.path.join(out, 'page.js'), 'old page.js')
        self.tool('cp', 'case "$*" in *thawline.wasm*) exit 1 ;; esac; exec /bin/cp "$@"')
        failed = self.run_script('--out', 'out')
        self.assertEqual(failed.returncode, 1, failed.stderr)
        self.assertEqual(sorted(os.listdir(out)), ['index.html', 'page.js'])
        self.assertEqual(self.read(os.path.join(out, 'page.js')), 'old page.js')
        os.remove(os.path.join(self.tools, 'cp'))

        result = self.run_script('--out', 'out')
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(sorted(os.listdir(out)), sorted(FILES))
        for name in FILES:
            self.assertEqual(self.read(os.path.join(out, name)), 'new ' + name)
        self.assertEqual(sorted(os.listdir(self.dir)), ['built', 'out', 'tools'], 'leftovers beside the site')

    def test_bad_out_and_taken_port_are_refused_before_building(self):
        plain = os.path.join(self.dir, 'plain')
        self.write(plain, 'a file')
        self.assertRefused(self.run_script('--out', plain, site=False), 'is not a folder')
        with socket.socket() as taken:
            taken.bind(('127.0.0.1', 0))
            port = taken.getsockname()[1]
            self.assertRefused(self.run_script('--port', str(port), site=False), 'port %d' % port)

    def test_port_must_be_1_to_65535(self):
        for port in ['99999999999999999999', '0', '65536', '-1', '8e3', '']:
            self.assertRefused(self.run_script('--port', port, site=False), '--port wants a number from 1 to 65535')

    def test_help_names_every_page_parameter(self):
        # The names the page itself reads.
        with open(os.path.join(ROOT, 'src', 'app', 'web', 'page.js')) as f:
            page = f.read()
        self.assertEqual(re.findall(r"^    \['(\w+)', \{", page, re.M), PAGE_PARAMETERS)
        result = self.run_script('--help')
        self.assertEqual(result.returncode, 0)
        listed = re.findall(r'^  (\w+)', result.stdout, re.M)
        self.assertEqual(listed, PAGE_PARAMETERS, result.stdout)


if __name__ == '__main__':
    unittest.main(argv=sys.argv[:1], verbosity=2)
