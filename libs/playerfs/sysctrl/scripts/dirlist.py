#!/usr/bin/python3
"""Prints the entries of one folder of a FAT image in directory order, as mdir
lists them: the long name where there is one, else the 8.3 name as mdir shows
it; "." and ".." left out. The first line is the volume label ("label: ...")."""
import re
import subprocess
import sys

image, folder = sys.argv[1], sys.argv[2]
out = subprocess.run(['mdir', '-i', image, folder], capture_output=True, env={'MTOOLS_SKIP_CHECK': '1', 'LC_ALL': 'C.UTF-8', 'PATH': '/usr/bin:/bin'})
if out.returncode != 0:
    sys.stderr.write(out.stderr.decode('utf-8', 'replace'))
    sys.exit(out.returncode)
lines = out.stdout.decode('utf-8', 'replace').splitlines()
label = ''
names = []
entry = re.compile(r'^(.{8}) (.{3}) +(<DIR>|\d+) +\S+ +\d+:\d\d(?: +(.*))?$')
for line in lines:
    if line.startswith(' Volume in drive'):
        m = re.search(r' is (.*)$', line)
        label = m.group(1).rstrip() if m else ''
        continue
    m = entry.match(line)
    if not m:
        continue
    base, ext, _, long_name = m.group(1).rstrip(), m.group(2).rstrip(), m.group(3), m.group(4)
    if base in ('.', '..'):
        continue
    names.append(long_name.rstrip() if long_name else base + ('.' + ext if ext else ''))
print('label: ' + label)
for n in names:
    print(n)
