#!/usr/bin/env python3
"""Writes the small .pdb seed inputs of the pdb_read and extract fuzz targets.

Run from anywhere: python3 fuzz/make_pdb_seeds.py. The files are checked in; rerun only to change them.
The layout is written out here byte by byte (78-byte big-endian header, list entries, two zero bytes,
record data), independently of the project's own writer, and includes a few malformed images.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
PALM_EPOCH_OFFSET = 2082844800
NOW = 1136073600 + PALM_EPOCH_OFFSET  # 2006-01-01 00:00 UTC as a handheld time stamp


def header(name, attributes, type_, creator, count, app_info=0):
    return (name.ljust(32, b"\0")[:32]
            + struct.pack(">HHIIIIII4s4sIIH", attributes, 0, NOW, NOW, NOW, 0, app_info, 0,
                          type_, creator, 0, 0, count))


def record_db(name, type_, creator, records, gap=b"", attributes=0x0008):
    start = 78 + 8 * len(records) + 2 + len(gap)
    entries = b""
    offset = start
    for index, data in enumerate(records):
        entries += struct.pack(">IB", offset, 0x40 if index % 2 else 0) + (index + 1).to_bytes(3, "big")
        offset += len(data)
    app_info = 78 + 8 * len(records) + 2 if gap else 0
    return (header(name, attributes, type_, creator, len(records), app_info) + entries + b"\0\0" + gap
            + b"".join(records))


def resource_db(name, type_, creator, resources):
    start = 78 + 10 * len(resources) + 2
    entries = b""
    offset = start
    for res_type, res_id, data in resources:
        entries += struct.pack(">4sHI", res_type, res_id, offset)
        offset += len(data)
    return (header(name, 0x0009, type_, creator, len(resources)) + entries + b"\0\0"
            + b"".join(data for _, _, data in resources))


def song(text):
    return text.encode("cp1252") + b"\0"


def chord(name, frets):
    return bytes(frets) + b"\0\0" + name + b"\0"


SONGS = [
    song("{title: Amazing Grace}\n{st: Traditional}\n[G]Amazing [C]grace\n"),
    song("{t:B}\nline\n"),
    song("{t:A}\nthe first A\n"),
    song("{t:A}\nthe second A\n"),
    bytes([0xFF, 0xEE, 0xDD, 0x00, 0x01, 0x02]),  # marker record
    bytes([0xFF, 0xEE, 0xDD, 0x00, 0x01]),  # too short for a marker: a song
    song("{t:../../../escape}\n"),
    song("{t:/etc/absolute}\n"),
    song("{t:..}\n"),
    song("{t:a\\b:c*d?e\"f<g>h|i}\n"),
    song("{t:   }\n{st:   }\n"),
    b"",
    b"no terminating zero\nsecond line",
    song("{t:Caf\u00e9 \u2019quoted\u2019}\nlone\rcr\n"),
    song("{t:tab\there}\n{st:sub/title}\n"),
]

CHORDS = [
    chord(b"Am", [15, 0, 2, 2, 1, 0]),
    chord(b"D", [15, 15, 0, 2, 3, 2]),
    chord(b"Cadd9/Gsus4(b13)xyz", [3, 3, 2, 0, 3, 3]),
    bytes([1, 2, 3, 4, 5]),  # shorter than a chord record
    bytes([1, 2, 3, 4, 5, 6, 0, 0]) + b"NoTerminator",
    chord(b"\xe9t\xe9", [255, 0, 128, 15, 1, 2]),
]


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)


def main():
    two = record_db(b"TwoRecords", b"DATA", b"test", [b"Hello", b"abc"])
    seeds = {
        "empty.pdb": record_db(b"Empty", b"DATA", b"test", []),
        "two-records.pdb": two,
        "resource.pdb": resource_db(b"Resources", b"rsrc", b"test",
                                    [(b"tSTR", 1000, b"resource one\0"), (b"tver", 1, b"1.0\0")]),
        "app-info-gap.pdb": record_db(b"AppInfo", b"DATA", b"test", [b"first", b"second"], gap=b"APPINFO" * 10),
        "zero-length-record.pdb": record_db(b"Zero", b"DATA", b"test", [b"one", b"", b"three"]),
        "long-name.pdb": record_db(b"N" * 32, b"DATA", b"test", [b"x"]),
        "truncated-list.pdb": header(b"Short", 0x0008, b"DATA", b"test", 3) + b"\0\0\0",
        "offsets-descending.pdb": two[:78] + struct.pack(">IB3sIB3s", 101, 0, b"\0\0\0", 96, 0, b"\0\0\0")
        + two[94:],
        "offset-past-end.pdb": two[:78] + struct.pack(">IB3sIB3s", 96, 0, b"\0\0\0", 5000, 0, b"\0\0\0")
        + two[94:],
    }
    songs = record_db(b"TuneloreSongs", b"SONG", b"TuNe", SONGS)
    chords = record_db(b"TuneloreChords", b"CHRD", b"TuNe", CHORDS)
    import_db = record_db(b"TuneloreDB12345", b"SONM", b"TuNe", SONGS[:3])
    for name, data in seeds.items():
        write("pdb_read", name, data)
    for name, data in [("songs.pdb", songs), ("chords.pdb", chords), ("song-import.pdb", import_db)]:
        write("pdb_read", name, data)
        write("extract", name, data)
    write("extract", "empty-songs.pdb", record_db(b"NoSongs", b"SONG", b"TuNe", []))
    write("extract", "markers-only.pdb", record_db(b"Markers", b"SONG", b"TuNe", [SONGS[4], SONGS[4]]))
    write("extract", "truncated-songs.pdb", songs[:90])


if __name__ == "__main__":
    main()
