#!/usr/bin/env python3
"""Names on a disc folder that its image or Windows cannot carry.

    disc_names.py DISC_FOLDER

Prints one line for each name that breaks a rule, naming the file, and
exits 1 when there is any:
- Joliet carries names of up to 64 characters in Unicode's basic plane,
  without * / : ; ? \\ or control characters;
- Windows opens no name with < > " | ? * : in it, none that ends in a blank
  or a dot (it would open the name without them, another file), and none
  that is a device (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, with or
  without an extension);
- Windows sees two names that differ only in letter case as one;
- a symbolic link is no file of the disc's own.
"""
import os
import sys

JOLIET_REFUSES = set('*/:;?\\')
WINDOWS_REFUSES = set('<>"|?*:')
DEVICES = {'CON', 'PRN', 'AUX', 'NUL'} | {
    f'{port}{n}' for port in ('COM', 'LPT') for n in range(1, 10)}


def faults(name):
    if len(name) > 64:
        yield f'{len(name)} characters, over 64'
    if any(c in JOLIET_REFUSES or ord(c) < 32 or ord(c) > 0xFFFF for c in name):
        yield 'a character Joliet names cannot hold'
    if any(c in WINDOWS_REFUSES for c in name):
        yield 'a character Windows names cannot hold (< > " | ? * :)'
    if name.endswith((' ', '.')):
        yield 'a name ending in a blank or a dot, which Windows cannot open'
    if name.split('.')[0].rstrip(' ').upper() in DEVICES:
        yield 'the name of a Windows device, which Windows cannot open as a file'


def main(root):
    bad = []
    for folder, dirs, files in os.walk(root):
        seen = {}
        for name in sorted(dirs + files):
            shown = os.path.relpath(os.path.join(folder, name), root)
            try:
                text = os.fsencode(name).decode('utf-8')
            except UnicodeDecodeError:
                bad.append(f'{shown!r}: not UTF-8')
                continue
            bad.extend(f'{shown}: {fault}' for fault in faults(text))
            key = text.casefold()
            if key in seen:
                bad.append(f'{shown}: Windows cannot tell it from {seen[key]}')
            seen[key] = shown
            if os.path.islink(os.path.join(folder, name)):
                bad.append(f'{shown}: a symbolic link')
    for line in bad:
        print(line)
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1]))
