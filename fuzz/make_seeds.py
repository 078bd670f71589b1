#!/usr/bin/env python3
"""Writes the seed corpora fuzz/corpus/NAME from the spec's examples, in each
fuzzer's input encoding (see the fuzzers' top comments). Run from anywhere;
re-running rewrites the seed_* files only (crash regressions stay)."""
import os
import struct

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def write(name, seeds):
    folder = os.path.join(root, name)
    os.makedirs(folder, exist_ok=True)
    for old in os.listdir(folder):
        if old.startswith("seed_"):
            os.remove(os.path.join(folder, old))
    for index, (label, data) in enumerate(seeds):
        with open(os.path.join(folder, "seed_%02d_%s" % (index, label)), "wb") as f:
            f.write(data)


def narrow(text, mode=0):  # FuzzText: even first byte, one unit per byte
    return bytes([mode]) + text.encode("latin-1")


def wide(text, mode=1):  # FuzzText: odd first byte, UTF-16LE units
    return bytes([mode]) + text.encode("utf-16-le")


# Part 4.1 edge cases (port entries); mode 2 presets the low bit set.
entries = ["R|9600,N,8,0,X|1|0", "r", "r|", "r|9600,n,8,0", "", "|r|9600,n,8,0|1|1", "r||1|1",
           "r|9600,n,8,0|", "r|9600,n,8,0|1", "r|9600,n,8,0|yes|1", "Real|115200,E,7,2,P|0|1|rest"]
write("port_entry", [("entry%d" % i, narrow(e)) for i, e in enumerate(entries)]
      + [("preset_low", narrow("r|9600,n,8,0|1", 2)), ("wide", wide("R|9600,\u00c9,8,0|1|1"))])

# Part 4.1 parameter texts; the round trip reads its integers from the tail.
texts = ["9600,n,8,0,x", "9600", "9600,n", "9600,n,8", "9600,n,8,", "9600,q,8,1", "abc,n,8,1",
         "9600,n,8,1,p", "9600,n,8,1,z", "0,n,12,7", "115200,E,7,2,P", "9600,N,8,0", "9600,n,8,1,xp",
         "9600,n,8,1,x,1", " \t+12,-3", "4294967297,n,8,1", "-2147483648,s,8,2,X"]
write("parameter_text", [("text%d" % i, narrow(t)) for i, t in enumerate(texts)]
      + [("wide", wide("9600,\u0146,8,0")), ("field", narrow("9600,N,8,0,X", 2))])


# Part 2.2: FuzzedDataProvider strings end at a lone backslash; integers come
# from the tail: side, type (one byte each), permission, five options.
def command(bundle, port, params, app, side, type_byte, permission, options):
    def s(text):
        return text.replace(b"\\", b"\\\\") + b"\\x"
    tail = bytes(reversed(options)) + struct.pack("<i", permission) + bytes([type_byte, side])
    return s(bundle) + s(port) + s(params) + app + tail


write("commands", [
    ("add_bundle", command(b"B1", b"COM7", b"9600,N,8,0", b"a,b!", 1, 5, 0, [1, 0, 1, 0, 1])),
    ("escape", command(b"B1", b"COM7", b"a,b,c", b"x@y", 0, 2, 3, [0, 0, 0, 0, 0])),
    ("all_specials", command(b"Bundle", b"CNCA0", b"", b"@!,@@1!!,,", 1, 4, -1, [255, 1, 0, 1, 0])),
    ("nul", command(b"B\x001", b"CO\x00M", b"a,\x00b", b"ap\x00p", 0, 6, 7, [1, 1, 1, 1, 1])),
])

# Part 2.2 replies; the first byte makes every n-th read deliver nothing.
replies = [b"ok!", b"OKAY!", b"ERROR!", b"O!", b"!", b"OK!trailing", b"oK,1!", b"x" * 300,
           b"O" + b"K" * 253 + b"!", b"O" + b"K" * 254 + b"!"]
write("reply", [("reply%d" % i, bytes([0]) + r) for i, r in enumerate(replies)]
      + [("empty_reads", bytes([3]) + b"OK!")])


# Part 5.2 answers; the first byte is the port name's length, the name follows.
def record(port, app, entry_length, kind=0, data=(7, 8, 9)):
    rec = bytearray(entry_length if entry_length >= 44 else 64)
    name_at = 44
    app_at = name_at + 2 * (len(port) + 1)
    struct.pack_into("<IIIII", rec, 0, entry_length, 0, kind, name_at, app_at if app else 0)
    struct.pack_into("<III", rec, 32, *data)
    body = (port + "\0").encode("utf-16-le") + ((app + "\0").encode("utf-16-le") if app else b"")
    rec[44:44 + len(body)] = body
    return bytes(rec)


def walk(name, answer):
    return bytes([len(name)]) + name.encode("latin-1") + answer


known = record("COM3", "A", 64) + record("com3", "B", 64, data=(1, 2, 3)) + record("COM4", "C", 64) + bytes(4)
write("record_walk", [
    ("known", walk("Com3", known)),
    ("zero_start", walk("COM3", bytes(4) + known)),
    ("kind1", walk("COM3", record("COM3", "A", 64, kind=1) + record("COM3", "B", 64) + bytes(4))),
    ("no_app", walk("COM3", record("COM3", "", 64) + bytes(4))),
    ("length_past_end", walk("COM3", record("COM3", "A", 64)[:60] + struct.pack("<I", 0))),
    ("offset_past_end", walk("COM3", struct.pack("<IIIII", 64, 0, 0, 4000, 44) + bytes(44))),
    ("no_terminator", walk("COM3", record("COM3", "A", 64)[:44] + "COM3".encode("utf-16-le"))),
    ("entry_length_0", walk("COM3", struct.pack("<I", 0) + record("COM3", "A", 64))),
    # EntryLength 12: two overlapping records, both listed, from 70 bytes.
    ("overlapping", walk("COM3", struct.pack("<IIIII", 12, 0, 0, 56, 66) + struct.pack("<III", 0, 44, 54)
                         + struct.pack("<III", 7, 0, 0) + struct.pack("<III", 9, 0, 0)
                         + "COM3\0A\0".encode("utf-16-le"))),
])

# Parts 3.1/3.2: port kind words and serial device names.
words = ["Real", "Virtual", "Shared", "Switcher", "KOLM", "r|9600", "sw", "kx", "x", "",
         "\\Device\\Dunvale0", "\\device\\MARROWBY12", "\\Device\\Serial0", "\\Device\\Dunval"]
write("layout_rules", [("word%d" % i, narrow(w)) for i, w in enumerate(words)])
