#!/usr/bin/env python3
"""Turns a dvdauthor title set into one with an angle block and a seamless
branch, which dvdauthor does not write.

  interleave_dvd.py VIDEO_TS --angles T:C,C --branch T:C T:C [--angles ...]

Each cell named (title T's program chain, cell C, 1-based) must be a VOB of
its own in the title set. The cells of an --angles group become the angles of
an angle block in T's program chain (the title then has that many angles);
the cells of a --branch group become branches that titles take one each. The
VOBs of each group are interleaved unit by unit (two VOBUs an interleaved
unit) where the group's first VOB was; the navigation packs get their new
addresses, their interleaved unit's end and the next unit's start, the
angle table (angles) or the next VOBU of their own branch (branches), and the
IFO gets the cells' new sectors and block types, the cell address table, the
VOBU address map and the title's angle count.
"""
import argparse
import glob
import os
import struct

SECTOR = 2048
END = 0x3FFFFFFF  # "none" in the search pointers
LAST_UNIT = 0x7FFFFFFF
UNIT = 2  # VOBUs an interleaved unit


def u16(b, o):
    return struct.unpack_from(">H", b, o)[0]


def u32(b, o):
    return struct.unpack_from(">I", b, o)[0]


def put32(b, o, v):
    struct.pack_into(">I", b, o, v)


def bcd_seconds(b, o):
    def bcd(v):
        return (v >> 4) * 10 + (v & 0x0F)
    rate = 25.0 if b[o + 3] >> 6 == 1 else 30000 / 1001
    return bcd(b[o]) * 3600 + bcd(b[o + 1]) * 60 + bcd(b[o + 2]) + bcd(b[o + 3] & 0x3F) / rate


def put_bcd_seconds(b, o, seconds, rate_code):
    def bcd(v):
        return (v // 10) << 4 | v % 10
    rate = 25.0 if rate_code == 1 else 30000 / 1001
    whole = int(seconds)
    frames = min(int(round((seconds - whole) * rate)), int(rate))
    b[o:o + 4] = bytes([bcd(whole // 3600), bcd(whole // 60 % 60), bcd(whole % 60), rate_code << 6 | bcd(frames)])


def is_nav(sector):
    return sector[38:42] == b"\0\0\1\xbf" and sector[0x2C] == 0 and sector[0x400:0x404] == b"\0\0\1\xbf"


class TitleSet:
    def __init__(self, folder):
        self.folder = folder
        self.vob_files = sorted(glob.glob(os.path.join(folder, "VTS_01_[1-9].VOB")))
        self.vob = bytearray(b"".join(open(f, "rb").read() for f in self.vob_files))
        self.ifo = bytearray(open(os.path.join(folder, "VTS_01_0.IFO"), "rb").read())
        self.vmg = bytearray(open(os.path.join(folder, "VIDEO_TS.IFO"), "rb").read())
        self.pgcit = u32(self.ifo, 0xCC) * SECTOR
        self.cadt = u32(self.ifo, 0xE0) * SECTOR
        self.admap = u32(self.ifo, 0xE4) * SECTOR
        # VOBUs by VOB id, in sector order: their first sector and length.
        self.vobus = {}
        for s in range(len(self.vob) // SECTOR):
            sector = self.vob[s * SECTOR:(s + 1) * SECTOR]
            if is_nav(sector):
                self.vobus.setdefault(u16(sector, 1055), []).append((s, u32(sector, 1039) + 1))

    def pgc(self, number):
        return self.pgcit + u32(self.ifo, self.pgcit + 8 + 8 * (number - 1) + 4)

    def cells(self, number):
        """(playback entry offset, position entry offset) of each cell of a program chain."""
        pgc = self.pgc(number)
        playback = pgc + u16(self.ifo, pgc + 0xE8)
        position = pgc + u16(self.ifo, pgc + 0xEA)
        return [(playback + 24 * i, position + 4 * i) for i in range(self.ifo[pgc + 3])]

    def title_chain(self, title):
        """The program chain of a title, through the VMG's title table and the VTS's."""
        ttsrpt = u32(self.vmg, 0xC4) * SECTOR
        vts_ttn = self.vmg[ttsrpt + 8 + 12 * (title - 1) + 7]
        ptt = u32(self.ifo, 0xC8) * SECTOR
        first = ptt + u32(self.ifo, ptt + 8 + 4 * (vts_ttn - 1))
        return u16(self.ifo, first)

    def cell_vob(self, title, cell):
        return u16(self.ifo, self.cells(self.title_chain(title))[cell - 1][1])


def rewrite(ts, angle_groups, branch_groups):
    groups = [(g, True) for g in angle_groups] + [(g, False) for g in branch_groups]
    member = {vob: (i, g, angles) for i, (g, angles) in enumerate(groups) for vob in g}
    # The new order of the VOBUs: each group's interleaved where its first VOB was.
    order, placed = [], set()
    for vob in sorted(ts.vobus):
        if vob in placed:
            continue
        if vob not in member:
            order += [(vob, k) for k in range(len(ts.vobus[vob]))]
            placed.add(vob)
            continue
        _, group, _ = member[vob]
        for u in range(max(len(ts.vobus[v]) + UNIT - 1 for v in group) // UNIT):
            order += [(v, k) for v in group for k in range(u * UNIT, min((u + 1) * UNIT, len(ts.vobus[v])))]
        placed.update(group)
    new_lbn, at = {}, 0
    for vob, k in order:
        new_lbn[(vob, k)] = at
        at += ts.vobus[vob][k][1]
    out = bytearray(len(ts.vob))
    for vob, k in order:
        first, length = ts.vobus[vob][k]
        lbn = new_lbn[(vob, k)]
        unit = bytearray(ts.vob[first * SECTOR:(first + length) * SECTOR])
        put32(unit, 0x2D, lbn)   # PCI: the pack's own address
        put32(unit, 1035, lbn)   # DSI: the same
        if vob in member:
            _, group, angles = member[vob]
            chain = ts.vobus[vob]

            def offset(key):
                return new_lbn[key] - lbn if key in new_lbn else None

            nxt = offset((vob, k + 1)) if k + 1 < len(chain) else None
            prv = offset((vob, k - 1)) if k > 0 else None
            # Search pointers: the next and the previous VOBU of this unit's own chain.
            put32(unit, 1265, END if nxt is None else 0x80000000 | nxt)  # next with video
            for i in range(19):
                put32(unit, 1269 + 4 * i, END)
                put32(unit, 1353 + 4 * i, END)
            put32(unit, 1345, END if nxt is None else 0x80000000 | nxt)
            put32(unit, 1349, END if prv is None else 0x80000000 | -prv)
            put32(unit, 1429, END if prv is None else 0x80000000 | -prv)
            # The interleaved unit this VOBU is in: its first or last VOBU
            # (libdvdnav takes the angle table from a unit's last VOBU, which
            # it knows by BLOCK|LAST alone), its end, and the next unit.
            u = k // UNIT
            unit_ks = range(u * UNIT, min((u + 1) * UNIT, len(chain)))
            last_k = unit_ks[-1]
            category = 0x4000 | (0x1000 if k == last_k else 0x2000)
            struct.pack_into(">H", unit, 1063, category)
            put32(unit, 1065, new_lbn[(vob, last_k)] + chain[last_k][1] - 1 - lbn)

            def next_unit(v):
                key = (v, (u + 1) * UNIT)
                if key not in new_lbn:
                    return LAST_UNIT, 0
                size = sum(ts.vobus[v][j][1] for j in range((u + 1) * UNIT, min((u + 2) * UNIT, len(ts.vobus[v]))))
                return new_lbn[key] - lbn, size

            address, size = next_unit(vob)
            put32(unit, 1069, address)
            struct.pack_into(">H", unit, 1073, size)
            for a in range(9):
                address, size = next_unit(group[a]) if angles and a < len(group) else (0, 0)
                struct.pack_into(">IH", unit, 1211 + 6 * a, address, size)
        out[lbn * SECTOR:lbn * SECTOR + len(unit)] = unit

    def span(vob):
        """First sector, end of the first interleaved unit, last VOBU, last sector."""
        chain = ts.vobus[vob]
        firsts = [new_lbn[(vob, k)] for k in range(len(chain))]
        unit_end = min(UNIT, len(chain)) - 1
        return firsts[0], firsts[unit_end] + chain[unit_end][1] - 1, firsts[-1], firsts[-1] + chain[-1][1] - 1

    # The cells of every program chain.
    for pgc in range(1, u16(ts.ifo, ts.pgcit) + 1):
        cells = ts.cells(pgc)
        angle_cells = [i for i, (_, pos) in enumerate(cells)
                       if u16(ts.ifo, pos) in member and member[u16(ts.ifo, pos)][2]]
        for i, (playback, position) in enumerate(cells):
            vob = u16(ts.ifo, position)
            if vob not in ts.vobus:
                continue
            first, first_end, last_start, last = span(vob)
            flags = ts.ifo[playback] & 0x02  # keep the clock's discontinuity
            if vob in member:
                flags |= 0x08 | 0x04  # seamless, interleaved
                if member[vob][2]:
                    mode = 1 if i == angle_cells[0] else 3 if i == angle_cells[-1] else 2
                    flags |= mode << 6 | 1 << 4 | 0x01  # angle block, seamless angle change
            else:
                first_end = 0
            ts.ifo[playback] = flags
            struct.pack_into(">IIII", ts.ifo, playback + 8, first, first_end, last_start, last)
        # The chain plays an angle block once.
        if angle_cells:
            seconds = sum(bcd_seconds(ts.ifo, playback + 4) for i, (playback, _) in enumerate(cells)
                          if i not in angle_cells[1:])
            put_bcd_seconds(ts.ifo, ts.pgc(pgc) + 4, seconds, ts.ifo[ts.pgc(pgc) + 7] >> 6)
    # The cell address table: one VOB a cell, as dvdauthor wrote it.
    last_byte = u32(ts.ifo, ts.cadt + 4)
    for e in range(ts.cadt + 8, ts.cadt + last_byte + 1, 12):
        vob = u16(ts.ifo, e)
        if vob in ts.vobus:
            first, _, _, last = span(vob)
            struct.pack_into(">II", ts.ifo, e + 4, first, last)
    # The VOBU address map, in sector order.
    starts = sorted(new_lbn.values())
    assert 4 + 4 * len(starts) - 1 <= u32(ts.ifo, ts.admap)
    for i, s in enumerate(starts):
        put32(ts.ifo, ts.admap + 4 + 4 * i, s)
    # The titles' angle counts.
    ttsrpt = u32(ts.vmg, 0xC4) * SECTOR
    for title in range(1, u16(ts.vmg, ttsrpt) + 1):
        vobs = {u16(ts.ifo, pos) for _, pos in ts.cells(ts.title_chain(title))}
        for group in angle_groups:
            if set(group) <= vobs:
                ts.vmg[ttsrpt + 8 + 12 * (title - 1) + 1] = len(group)
    return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--angles", action="append", default=[], help="T:C,C,...")
    parser.add_argument("--branch", action="append", nargs="+", default=[], help="T:C T:C ...")
    args = parser.parse_args()
    ts = TitleSet(args.folder)

    def vob_of(spec):
        title, cell = spec.split(":")
        return ts.cell_vob(int(title), int(cell))

    angle_groups = []
    for spec in args.angles:
        title, cells = spec.split(":")
        angle_groups.append([ts.cell_vob(int(title), int(c)) for c in cells.split(",")])
    branch_groups = [[vob_of(s) for s in group] for group in args.branch]
    vob = rewrite(ts, angle_groups, branch_groups)
    at = 0
    for f in ts.vob_files:
        size = os.path.getsize(f)
        open(f, "wb").write(vob[at:at + size])
        at += size
    for name in ("VTS_01_0.IFO", "VTS_01_0.BUP"):
        open(os.path.join(args.folder, name), "wb").write(ts.ifo)
    for name in ("VIDEO_TS.IFO", "VIDEO_TS.BUP"):
        open(os.path.join(args.folder, name), "wb").write(ts.vmg)


if __name__ == "__main__":
    main()
