#!/usr/bin/env python3
"""pak-explain.py [--list LISTING] ARCHIVE...: reads an update archive by the format's description
alone, shares no code with the program's reader, and explains every byte: header fields, the
stored table (LZSS expanded, scrambled or not), each entry and its data, the padding after it,
and bytes nothing refers to. Exits 1 when a rule of the format is broken, or with --list when
LISTING (what `gspak pak list` printed for the one ARCHIVE) differs from what it read. The gspak
test runs it so on every golden archive; the other tests hold the reader and the writer to them.
"""
import struct
import sys


def expand(stream):
    """The LZSS stream: 4096-byte ring of zeros, writing from 4078; flag bit 1 literal, 0 match."""
    ring = bytearray(4096)
    r, out, i, flags = 4078, bytearray(), 0, 0
    while True:
        flags >>= 1
        if not flags & 0x100:
            if i >= len(stream):
                return bytes(out)
            flags = stream[i] | 0xFF00
            i += 1
        if flags & 1:
            if i >= len(stream):
                return bytes(out)
            items = [stream[i]]
            i += 1
        else:
            if i + 1 >= len(stream):
                return bytes(out)
            pos, length = stream[i] | (stream[i + 1] & 0xF0) << 4, (stream[i + 1] & 0x0F) + 3
            i += 2
            items = []
            for k in range(length):
                items.append(ring[(pos + k) % 4096])
                ring[r] = items[-1]
                r = (r + 1) % 4096
            out += bytes(items)
            continue
        out += bytes(items)
        ring[r] = items[0]
        r = (r + 1) % 4096


def printable(name):
    """A name as gspak list prints it: \\xHH for a control byte, a lone lead byte, a backslash before x."""
    out, i = b"", 0
    while i < len(name):
        c, nxt = name[i], name[i + 1] if i + 1 < len(name) else 0
        lead = 0x81 <= c <= 0x9F or 0xE0 <= c <= 0xFC
        if lead and 0x40 <= nxt <= 0xFC and nxt != 0x7F:
            out, i = out + name[i:i + 2], i + 2
            continue
        out += b"\\x%02X" % c if c < 0x20 or c == 0x7F or lead or (c == 0x5C and nxt == 0x78) else bytes([c])
        i += 1
    return out


def explain(path, listing=None):
    data = open(path, "rb").read()
    problems = []
    flags, tsize, key, count, base, toff = struct.unpack_from("<6I", data, 48)
    rows = [b"# flags 0x%08X, key 0x%08X, %d entries, data base %d" % (flags, key, count, base)]
    print(f"{path}: {len(data)} bytes")
    print(f"  0..47   kept bytes {data[:48].hex()}")
    print(f"  48 flags {flags:#x}  52 table size {tsize}  56 key {key:#x}  60 count {count}"
          f"  64 data base {base}  68 table offset {toff}")
    covered = [(0, 72)]
    if tsize == 0:
        table = data[72:72 + count * 104]
        covered.append((72, 72 + count * 104))
        print(f"  table: plain, {count} x 104 bytes at 72")
    else:
        stored = bytearray(data[toff:toff + tsize])
        covered.append((toff, toff + tsize))
        if key != 0:
            stored = bytearray(b ^ ((i % 256) & (key & 0xFF)) for i, b in enumerate(stored))
        table = expand(stored)
        print(f"  table: {tsize} stored bytes at {toff}, {'scrambled with ' + hex(key & 0xFF) if key else 'plain'},"
              f" expanding to {len(table)}")
    if len(table) != count * 104:
        problems.append(f"table holds {len(table)} bytes, not {count} x 104")
    for n in range(len(table) // 104):
        e = table[n * 104:(n + 1) * 104]
        name = e[:64].split(b"\0")[0]
        off, size, version = struct.unpack_from("<3I", e, 64)
        low, high = struct.unpack_from("<2I", e, 96)
        at = base + off
        body = data[at:at + size]
        rows.append(b"%d\t%s\t%d\t%d\t%d\t%d\t%s" % (n, printable(name), version, high << 32 | low, off, size,
                                                     b"dead" if e[0] == 0 else b"live"))
        if e[0] == 0:
            print(f"  entry {n}: dead (offset {off} size {size})")
            continue
        if len(body) != size:
            problems.append(f"entry {n}: data past the end")
        pad = data[at + size:at + (size + 3) // 4 * 4] if tsize else b""
        if pad.strip(b"\0"):
            problems.append(f"entry {n}: padding is not zero")
        covered.append((at, at + (size + 3) // 4 * 4 if tsize else at + size))
        print(f"  entry {n}: {name.decode('cp932')!r} at {at} size {size} version {version}"
              f" time {high << 32 | low} kept {e[76:96].hex()} data {body.hex()}")
    covered.sort()
    end = 0
    for a, b in covered:
        if a > end:
            print(f"  {a - end} bytes at {end} not referred to: {data[end:a].hex()}")
        end = max(end, b)
    if end < len(data):
        print(f"  {len(data) - end} bytes at {end} not referred to: {data[end:].hex()}")
    if listing is not None:
        listed = open(listing, "rb").read().replace(b"\r", b"").splitlines()
        for i, (a, b) in enumerate(zip(rows + [b"(none)"] * len(listed), listed + [b"(none)"] * len(rows))):
            if a != b:
                problems.append(f"listing line {i + 1} is {b!r}, not {a!r}")
                break
    for p in problems:
        print(f"  PROBLEM: {p}")
    return not problems


if __name__ == "__main__":
    args = sys.argv[1:]
    listing = args[1] if args[:1] == ["--list"] else None
    paths = args[2:] if listing else args
    ok = len(paths) == 1 if listing else bool(paths)
    sys.exit(0 if ok and all([explain(p, listing) for p in paths]) else 1)
