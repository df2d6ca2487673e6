#!/usr/bin/env python3
"""Draws the eight 16x16 tree icons into img/ as 24-bit BMP files.

Magenta (FF00FF) is the transparent colour, as in a classic image list; the
program masks it out when it loads the icons. Run from anywhere:
    python3 tools/draw_icons.py
"""
import pathlib
import struct

PALETTE = {
    '.': (255, 0, 255),   # transparent
    'k': (40, 40, 40),    # outline
    'w': (255, 255, 255),
    'g': (150, 150, 150),  # text lines
    'l': (215, 215, 215),  # light grey
    'y': (250, 205, 70),   # folder
    'Y': (205, 150, 30),   # folder shade
    'o': (245, 125, 20),   # new mark
    'r': (215, 40, 40),    # red
    'b': (45, 100, 190),   # blue
    'B': (140, 180, 235),  # light blue
    's': (235, 195, 160),  # skin
    'G': (60, 160, 70),    # green
}

ICONS = {
    'new_folder.bmp': [
        "................",
        "................",
        ".kkkkk..........",
        "kYYYYYk.........",
        "kYYYYYYkkkkkkkk.",
        "kYYYYYYYYYYYYYk.",
        "kYkkkkkkkkkkkkkk",
        "kYkyyyyyyyyyyyyk",
        "kYkyyyyyyyyyyyk.",
        "kkyyyyyyyyyyyyk.",
        "kkyyyyyyyyyyyk..",
        "kyyyyyyyyyyyyk..",
        "kkkkkkkkkkkkkk..",
        "................",
        "................",
        "................",
    ],
    'new_new.bmp': [
        "..kkkkkkkk......",
        "..kwwwwwwkk.....",
        "..kwwwwwwkwk....",
        "..kwggggwkkkk...",
        "..kwwwwwwwwwk...",
        "..kwggggggwwk...",
        "..kwwwwwwwwwk...",
        "..kwggggg.o.o.o.",
        "..kwwwwwww.ooo..",
        "..kwgggggoooooo.",
        "..kwwwwwww.ooo..",
        "..kwggggg.o.o.o.",
        "..kwwwwwwwwwk...",
        "..kwwwwwwwwwk...",
        "..kkkkkkkkkkk...",
        "................",
    ],
    'new_read.bmp': [
        "..kkkkkkkk......",
        "..kllllllkk.....",
        "..kllllllklk....",
        "..klggggllkkk...",
        "..kllllllllk....",
        "..klggggggllk...",
        "..kllllllllk....",
        "..klgggggggllk..",
        "..kllllllllllk..",
        "..klggggggglk...",
        "..kllllllllllk..",
        "..klggggglllk...",
        "..kllllllllllk..",
        "..kllllllllllk..",
        "..kkkkkkkkkkkk..",
        "................",
    ],
    'new_person.bmp': [
        "................",
        "......kkkk......",
        ".....kssssk.....",
        "....kssssssk....",
        "....kssssssk....",
        "....kssssssk....",
        ".....kssssk.....",
        "......kkkk......",
        "....kkbbbbkk....",
        "...kbbbbbbbbk...",
        "..kbbbBBBBbbbk..",
        "..kbbbBBBBbbbk..",
        "..kbbbbbbbbbbk..",
        "..kbbbbbbbbbbk..",
        "..kkkkkkkkkkkk..",
        "................",
    ],
    'not_send.bmp': [
        "................",
        "................",
        "kkkkkkkkkkkkkk..",
        "kwkwwwwwwwwkwk..",
        "kwwkwwwwwwkwwk..",
        "kwwwkwwwwkwwwk..",
        "kwwwwkwwkwwwwk..",
        "kwwwwwkkwwwwwk..",
        "kwwwwwwwwwrrrrr.",
        "kwwwwwwwwrrwrrrr",
        "kkkkkkkkkrrwrrrr",
        ".........rrwrrrr",
        ".........rrrrrrr",
        ".........rrwrrrr",
        "..........rrrrr.",
        "................",
    ],
    'send.bmp': [
        "................",
        "................",
        "kkkkkkkkkkkkkk..",
        "kBkBBBBBBBBkBk..",
        "kBBkBBBBBBkBBk..",
        "kBBBkBBBBkBBBk..",
        "kBBBBkBBkBBBBk..",
        "kBBBBBkkBBBBBk..",
        "kBBBBBBBBBGGGGG.",
        "kBBBBBBBBGGGGwGG",
        "kkkkkkkkkGGGwGGG",
        ".........GwwGGGG",
        ".........GGwGGGG",
        ".........GGGGGGG",
        "..........GGGGG.",
        "................",
    ],
    'in_doubt.bmp': [
        "..kkkkkkkk......",
        "..kllllllkk.....",
        "..kllllllklk....",
        "..klllooookkk...",
        "..kllooooook....",
        "..klloollooo....",
        "..kllllllooo....",
        "..kllllloool....",
        "..kllllooollk...",
        "..klllloolllk...",
        "..kllllllllllk..",
        "..klllloollllk..",
        "..klllloollllk..",
        "..kllllllllllk..",
        "..kkkkkkkkkkkk..",
        "................",
    ],
    'select.bmp': [
        "..kkkkkkkk......",
        "..kwwwwwwkk.....",
        "..kwwwwwwkwk....",
        "..kwggggwkkkk...",
        "..kwwwwwwwwwk...",
        "..kwggggggwwk...",
        "b.kwwwwwwwwwk...",
        "bb.wgggggggwk...",
        "bbbwwwwwwwwwk...",
        "bb.wgggggggwk...",
        "b.kwwwwwwwwwk...",
        "..kwggggggwwk...",
        "..kwwwwwwwwwk...",
        "..kwwwwwwwwwk...",
        "..kkkkkkkkkkk...",
        "................",
    ],
}


def bmp(rows):
    assert len(rows) == 16 and all(len(r) == 16 for r in rows), rows
    pixels = b''
    for row in reversed(rows):  # BMP rows run bottom-up
        for ch in row:
            r, g, b = PALETTE[ch]
            pixels += bytes((b, g, r))
    header = struct.pack('<2sIHHI', b'BM', 54 + len(pixels), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, 16, 16, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + pixels


def main():
    out = pathlib.Path(__file__).resolve().parent.parent / 'img'
    out.mkdir(exist_ok=True)
    for name, rows in ICONS.items():
        (out / name).write_bytes(bmp(rows))


if __name__ == '__main__':
    main()
