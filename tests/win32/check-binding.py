#!/usr/bin/env python3
"""Checks how the shipped 32-bit launcher binds the functions it imports.

    check-binding.py SHIPPED TWIN NM

SHIPPED is the stripped launcher.exe, TWIN the same link with its symbol
table kept, NM the i686 nm. The twin must hold the very same sections as the
shipped file; its symbols then tell where each import slot lies.

- Every import slot holds a non-zero value in the file: an ordinary slot the
  name the loader binds it by, a delay-load slot the address of its stub.
- No imported function resolves to an absolute address.
- A delay-load slot's first call is followed through the shipped bytes:
  the slot points at "mov $slot,%eax; jmp merge" in code, and the merge
  pushes its descriptor and calls the load helper, which binds the slot.
"""
import struct
import subprocess
import sys

EXECUTABLE = 0x20000000


class Image:
    def __init__(self, path):
        self.data = open(path, "rb").read()
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise SystemExit(f"FAIL: {path} is not a PE file")
        count, = struct.unpack_from("<H", self.data, pe + 6)
        optional_size, = struct.unpack_from("<H", self.data, pe + 20)
        optional = pe + 24
        if struct.unpack_from("<H", self.data, optional)[0] != 0x10B:
            raise SystemExit(f"FAIL: {path} is not PE32")
        self.base, = struct.unpack_from("<I", self.data, optional + 28)
        self.import_rva, = struct.unpack_from("<I", self.data, optional + 96 + 8)
        self.sections = []
        table = optional + optional_size
        for i in range(count):
            header = table + 40 * i
            name = self.data[header:header + 8].rstrip(b"\0").decode()
            vsize, rva, raw_size, raw_at = struct.unpack_from("<IIII", self.data, header + 8)
            flags, = struct.unpack_from("<I", self.data, header + 36)
            self.sections.append((name, rva, vsize, raw_size, raw_at, flags))

    def section_at(self, rva):
        for section in self.sections:
            if section[1] <= rva < section[1] + max(section[2], section[3]):
                return section
        return None

    def contents(self, section):
        _, _, vsize, raw_size, raw_at, _ = section
        return self.data[raw_at:raw_at + min(vsize, raw_size)]

    def read(self, va, size):
        rva = va - self.base
        section = self.section_at(rva)
        if section is None:
            return None
        offset = rva - section[1]
        if offset + size > section[3]:
            return bytes(size)  # beyond the file's bytes: zero-filled
        return self.data[section[4] + offset:section[4] + offset + size]

    def word(self, va):
        raw = self.read(va, 4)
        return None if raw is None else struct.unpack("<I", raw)[0]

    def is_code(self, va):
        section = self.section_at(va - self.base)
        return section is not None and bool(section[5] & EXECUTABLE)

    def ordinary_slots(self):
        """Slots the loader binds at start: the import descriptors' tables."""
        slots = set()
        descriptor = self.base + self.import_rva
        while True:
            first_thunk = self.word(descriptor + 16)
            if not first_thunk:
                return slots
            slot = self.base + first_thunk
            while self.word(slot):
                slots.add(slot)
                slot += 4
            descriptor += 20


def symbols(twin, nm):
    listing = subprocess.run([nm, twin], check=True, capture_output=True, text=True).stdout
    found = {}
    for line in listing.splitlines():
        parts = line.split()
        if len(parts) == 3:
            found[parts[2]] = (int(parts[0], 16), parts[1])
    return found


def same_sections(shipped, twin):
    # By address: a stripped file keeps only the first 8 letters of a name.
    theirs = {s[1]: s for s in twin.sections}
    for section in shipped.sections:
        other = theirs.get(section[1])
        if other is None or twin.contents(other) != shipped.contents(section):
            return f"the twin's {section[0]} differs from the shipped file's"
    return None


def first_call_faults(shipped, name, slot, stub):
    """Follows a delay-load slot's first call; returns what breaks it."""
    if not shipped.is_code(stub):
        return f"{name}: slot points at {stub:#x}, which is not code"
    code = shipped.read(stub, 10)
    if code[0] != 0xB8 or struct.unpack_from("<I", code, 1)[0] != slot or code[5] != 0xE9:
        return f"{name}: no 'mov $slot,%eax; jmp merge' at {stub:#x}"
    merge = stub + 10 + struct.unpack_from("<i", code, 6)[0]
    code = shipped.read(merge, 13) if shipped.is_code(merge) else None
    if code is None or code[:4] != b"\x51\x52\x50\x68" or code[8] != 0xE8:
        return f"{name}: no call of the load helper at {merge:#x}"
    helper = merge + 13 + struct.unpack_from("<i", code, 9)[0]
    if not shipped.is_code(helper):
        return f"{name}: the load helper at {helper:#x} is not code"
    return None


def main(shipped_path, twin_path, nm):
    shipped, twin = Image(shipped_path), Image(twin_path)
    faults = [same_sections(shipped, twin)]
    names = symbols(twin_path, nm)
    ordinary = shipped.ordinary_slots()
    delayed = 0
    for symbol, (slot, kind) in sorted(names.items()):
        # Import slots live in the import data ("I"); an "__imp_" pointer in
        # ordinary data is the C runtime's own stand-in, not an import.
        if not symbol.startswith("__imp_") or kind != "I":
            continue
        function = symbol[len("__imp_"):]
        if names.get(function, (0, ""))[1] == "A":
            faults.append(f"{function} resolves to an absolute address")
        value = shipped.word(slot)
        if not value:
            faults.append(f"empty import slot {symbol} at {slot:#x}")
        elif slot not in ordinary:
            delayed += 1
            faults.append(first_call_faults(shipped, function, slot, value))
    faults = [fault for fault in faults if fault]
    for fault in faults:
        print(f"FAIL: {fault}", file=sys.stderr)
    if not delayed:
        faults.append("no delay-load slot found")
        print("FAIL: no delay-load slot found", file=sys.stderr)
    if faults:
        return 1
    print(f"imports: {len(ordinary)} bound at start, {delayed} on first call, "
          "every slot filled, no import at an absolute address")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        raise SystemExit("usage: check-binding.py SHIPPED TWIN NM")
    sys.exit(main(*sys.argv[1:]))
