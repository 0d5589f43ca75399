"""The whole site within its budget of 800 KB (800,000 bytes), each file's
size printed.

    site_size_test.py SITE_DIR
"""
import os
import sys

BUDGET = 800000
FILES = ['index.html', 'page.js', 'thawline.js', 'thawline.wasm']

site = sys.argv[1]
missing = [f for f in FILES if not os.path.isfile(os.path.join(site, f))]
if missing:
    sys.exit('site_size_test: missing from %s: %s' % (site, ' '.join(missing)))
# Everything in the folder counts, not only the files the page names.
total = 0
for name in sorted(os.listdir(site)):
    size = os.path.getsize(os.path.join(site, name))
    total += size
    print('%10d  %s' % (size, name))
print('%10d  in all (budget %d)' % (total, BUDGET))
if total > BUDGET:
    sys.exit('site_size_test: the site is %d bytes, over the budget of %d' % (total, BUDGET))
