#!/usr/bin/env python3
"""Checks that shipped Windows files run on the oldest Windows they claim.

    check-oldest-windows.py TABLE OLDEST FILE...

TABLE lists, a line each, a DLL, a function it exports and the oldest
Windows that has it ("5.1 Windows XP"), from the "Minimum supported client"
of Microsoft's Win32 API reference. OLDEST is the oldest Windows the files
claim to run on (major.minor, e.g. 5.1). Each FILE's imports, both those
bound at start and those bound on first call (delay-loaded), must all be in
the table, none newer than OLDEST; the check names every one that is not.
Each FILE's PE header must name OLDEST as its OS and subsystem version: an
older Windows then refuses the file plainly, whatever it imports.
"""
import re
import struct
import sys


class Image:
    def __init__(self, path):
        self.path = path
        self.data = open(path, "rb").read()
        if self.data[:2] != b"MZ":
            raise ValueError("not a Windows program or DLL")
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        count, = struct.unpack_from("<H", self.data, pe + 6)
        optional_size, = struct.unpack_from("<H", self.data, pe + 20)
        optional = pe + 24
        magic, = struct.unpack_from("<H", self.data, optional)
        self.wide = magic == 0x20B
        self.base = struct.unpack_from("<Q" if self.wide else "<I", self.data,
                                       optional + (24 if self.wide else 28))[0]
        # The OS and subsystem versions sit at the same place in PE32 and PE32+.
        self.os_version = struct.unpack_from("<HH", self.data, optional + 40)
        self.subsystem_version = struct.unpack_from("<HH", self.data, optional + 48)
        directories = optional + (112 if self.wide else 96)
        self.directory = lambda n: struct.unpack_from("<II", self.data, directories + 8 * n)
        table = optional + optional_size
        self.sections = []
        for i in range(count):
            header = table + 40 * i
            vsize, rva, raw_size, raw_at = struct.unpack_from("<IIII", self.data, header + 8)
            self.sections.append((rva, max(vsize, raw_size), raw_at, raw_size))

    def offset(self, rva):
        for start, size, raw_at, raw_size in self.sections:
            if start <= rva < start + size and rva - start < raw_size:
                return raw_at + rva - start
        raise ValueError(f"address {rva:#x} is not in the file")

    def word(self, rva):
        return struct.unpack_from("<I", self.data, self.offset(rva))[0]

    def thunk(self, rva):
        return struct.unpack_from("<Q" if self.wide else "<I", self.data, self.offset(rva))[0]

    def text(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode("ascii")

    def names(self, table_rva):
        """The functions a thunk table names: by name, or as #ordinal."""
        ordinal = 1 << (63 if self.wide else 31)
        step = 8 if self.wide else 4
        while table_rva:
            entry = self.thunk(table_rva)
            if not entry:
                return
            yield f"#{entry & 0xFFFF}" if entry & ordinal else self.text((entry & 0x7FFFFFFF) + 2)
            table_rva += step

    def imports(self):
        """(dll, function, how) for each import, eager and delay-loaded."""
        rva, _ = self.directory(1)
        while rva:
            lookup, _, _, name, first = struct.unpack_from("<IIIII", self.data, self.offset(rva))
            if not name:
                break
            for function in self.names(lookup or first):
                yield self.text(name).lower(), function, "at start"
            rva += 20
        for dll, lookup in self.delay_descriptors():
            for function in self.names(lookup):
                yield dll, function, "on first call"

    def rva_of(self, at):
        for start, _, raw_at, raw_size in self.sections:
            if raw_at <= at < raw_at + raw_size:
                return start + at - raw_at
        return None

    def delay_descriptors(self):
        """(dll, name table) of each delay-load descriptor. ld leaves the
        header's delay-import entry empty, so they are found by what they
        hold: the attributes (bit 0: addresses are relative), the DLL's name
        and, four words on, the table of the functions' names."""
        found = set()
        for match in re.finditer(rb"[A-Za-z0-9_.-]+\.dll\0", self.data, re.I):
            name_rva = self.rva_of(match.start())
            if name_rva is None:
                continue
            for attributes, value in ((1, name_rva), (0, name_rva + self.base)):
                pattern = struct.pack("<II", attributes, value)
                for hit in re.finditer(re.escape(pattern), self.data):
                    if hit.start() % 4 or self.rva_of(hit.start()) is None:
                        continue
                    lookup, = struct.unpack_from("<I", self.data, hit.start() + 16)
                    lookup -= 0 if attributes else self.base
                    try:
                        self.offset(lookup)
                    except ValueError:
                        continue
                    found.add((match.group()[:-1].decode("ascii").lower(), lookup))
        return sorted(found)


def version(text):
    major, minor = text.split(".")
    return int(major), int(minor)


def read_table(path):
    table = {}
    for number, line in enumerate(open(path, encoding="utf-8"), 1):
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        fields = line.split(None, 3)
        if len(fields) < 4:
            raise SystemExit(f"{path}:{number}: want DLL FUNCTION VERSION NAME")
        dll, function, oldest, name = fields
        table[(dll.lower(), function)] = (version(oldest), name)
    return table


def main(table_path, oldest_text, files):
    table = read_table(table_path)
    oldest = version(oldest_text)
    failed = False
    for path in files:
        try:
            image = Image(path)
            imports = sorted(set(image.imports()))
        except (ValueError, OSError, struct.error) as error:
            print(f"FAIL: {path}: {error}", file=sys.stderr)
            failed = True
            continue
        faults = []
        for field, value in (("OS", image.os_version),
                             ("subsystem", image.subsystem_version)):
            if value != oldest:
                faults.append(f"its PE header's {field} version is "
                              f"{value[0]}.{value[1]}, not {oldest_text}")
        for dll, function, how in imports:
            known = table.get((dll, function))
            if known is None:
                faults.append(f"{dll} {function} ({how}) is not in {table_path}")
            elif known[0] > oldest:
                faults.append(f"{dll} {function} ({how}) needs {known[1]}, "
                              f"newer than Windows {oldest_text}")
        for fault in faults:
            print(f"FAIL: {path}: {fault}", file=sys.stderr)
        failed |= bool(faults) or not imports
        if not imports:
            print(f"FAIL: {path}: no imports found", file=sys.stderr)
        elif not faults:
            dlls = sorted({dll for dll, _, _ in imports})
            print(f"{path}: for Windows {oldest_text} and later: {len(imports)} "
                  f"imports of {', '.join(dlls)}, each in that Windows")
    return 1 if failed else 0


if __name__ == "__main__":
    if len(sys.argv) < 4:
        raise SystemExit("usage: check-oldest-windows.py TABLE OLDEST FILE...")
    sys.exit(main(sys.argv[1], sys.argv[2], sys.argv[3:]))
