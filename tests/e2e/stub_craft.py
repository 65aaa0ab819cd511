#!/usr/bin/env python3
"""Makes zip archives the usual tools will not: chosen name bytes and flags, extra fields,
methods, wrong CRCs, links and hostile names. Each recipe writes the archive and, where
extraction should reproduce something, the expected tree."""
import lzma
import os
import struct
import subprocess
import sys
import zlib


class Entry:
    def __init__(self, name, data=b"", method=0, flags=0, extra=b"", crc=None, unix_mode=None, packed=None):
        self.name = name if isinstance(name, bytes) else name.encode("utf-8")
        self.data = data
        self.method = method
        self.flags = flags
        self.extra = extra
        self.crc = zlib.crc32(data) if crc is None else crc
        self.unix_mode = unix_mode
        self.packed = packed


def compress(method, data):
    if method == 0:
        return data
    if method == 8:
        c = zlib.compressobj(9, zlib.DEFLATED, -15)
        return c.compress(data) + c.flush()
    if method == 93:
        return subprocess.run(["zstd", "-q", "-c", "-19"], input=data, stdout=subprocess.PIPE, check=True).stdout
    if method == 95:
        return lzma.compress(data, format=lzma.FORMAT_XZ)
    return data  # a method nobody implements: the bytes are never decoded


def write_zip(path, entries):
    out = bytearray()
    central = bytearray()
    for e in entries:
        packed = e.packed if e.packed is not None else compress(e.method, e.data)
        offset = len(out)
        version = 63 if e.method in (93, 95) else 20
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, version, e.flags, e.method, 0, 0x21, e.crc,
                           len(packed), len(e.data), len(e.name), len(e.extra))
        out += e.name + e.extra + packed
        creator = (3 << 8) | 30 if e.unix_mode is not None else 20
        external = (e.unix_mode << 16) if e.unix_mode is not None else (0x10 if e.name.endswith(b"/") else 0)
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, creator, version, e.flags, e.method, 0, 0x21,
                               e.crc, len(packed), len(e.data), len(e.name), len(e.extra), 0, 0, 0, external,
                               offset)
        central += e.name + e.extra
    start = len(out)
    out += central
    out += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(central), start, 0)
    with open(path, "wb") as f:
        f.write(out)


def put(tree, name, data):
    path = os.path.join(tree, *name.split("/"))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def unicode_path_field(legacy_name, utf8_name):
    body = struct.pack("<BI", 1, zlib.crc32(legacy_name)) + utf8_name.encode("utf-8")
    return struct.pack("<HH", 0x7075, len(body)) + body


def sample(n, seed):
    # Compressible but not trivial: lines of numbers.
    return "".join(f"{seed}:{i}\n" for i in range(n)).encode()


def recipe_methods(archive, tree):
    """zstd and xz inside zip, beside deflate and stored."""
    entries = []
    for method, name in ((0, "stored.txt"), (8, "deflate.txt"), (93, "zstd.txt"), (95, "xz.txt")):
        data = sample(3000, name)
        entries.append(Entry(name, data, method))
        put(tree, name, data)
    write_zip(archive, entries)


def recipe_gbk(archive, tree):
    """Names in the Chinese ANSI code page without the UTF-8 flag, as made on Chinese Windows."""
    entries = []
    for name in ("中文名.txt", "目录/文件一.txt", "目录/子目录/表.csv"):
        data = name.encode("utf-8") * 3
        entries.append(Entry(name.encode("gbk"), data))
        put(tree, name, data)
    write_zip(archive, entries)


def recipe_unicode_field(archive, tree):
    """Info-ZIP's Unicode path field wins over a legacy name that says something else."""
    legacy = "旧名.txt".encode("gbk")
    data = b"unicode path field\n"
    write_zip(archive, [Entry(legacy, data, extra=unicode_path_field(legacy, "統一碼名稱.txt"))])
    put(tree, "統一碼名稱.txt", data)


def recipe_hostile(archive, tree):
    """Names that try to leave the destination, links, and two honest files."""
    bad = [b"../evil.txt", b"..\\evil2.txt", b"/abs.txt", b"\\abs2.txt", b"C:/drive.txt", b"C:drive2.txt",
           b"a/../../up.txt", b"\\\\server\\share\\unc.txt", b"//server/share/unc2.txt", b"CON", b"dir/aux.txt",
           b"nul.tar.gz", b"trailing.", b"trailing ", b"file.txt:stream", b"\\\\?\\C:\\long.txt"]
    entries = [Entry(name, b"should never be written\n") for name in bad]
    entries.append(Entry(b"link-out", b"../../outside-target", unix_mode=0o120777))
    entries.append(Entry(b"good.txt", b"good\n"))
    entries.append(Entry(b"dir/ok.txt", b"ok\n"))
    entries.append(Entry(b"via-link/escaped.txt", b"must not land outside\n"))
    put(tree, "good.txt", b"good\n")
    put(tree, "dir/ok.txt", b"ok\n")
    write_zip(archive, entries)


def recipe_bad_crc(archive, tree):
    """A stored file whose data does not match its CRC, between two sound ones."""
    first, second = b"first\n", b"second\n"
    write_zip(archive, [Entry("first.txt", first), Entry("broken.txt", b"tampered data\n", crc=0x12345678),
                        Entry("second.txt", second)])
    put(tree, "first.txt", first)
    put(tree, "second.txt", second)


def recipe_unknown_method(archive, tree):
    """A method no reader implements (97, WavPack), between two sound files."""
    first, second = b"first\n", b"second\n"
    write_zip(archive, [Entry("first.txt", first), Entry("wavpack.wav", b"\x00" * 64, method=97),
                        Entry("second.txt", second, method=8)])
    put(tree, "first.txt", first)
    put(tree, "second.txt", second)


def recipe_empty(archive, tree):
    """A zip with no entries at all: only the end record."""
    write_zip(archive, [])


def recipe_huge_claim(archive, tree):
    """One deflated byte that claims to be a pebibyte (Zip64 sizes): more than any disk holds."""
    data = b"x"
    packed = compress(8, data)
    claimed = 1 << 50
    local64 = struct.pack("<HHQQ", 0x0001, 16, claimed, len(packed))
    central64 = local64
    out = struct.pack("<IHHHHHIIIHH", 0x04034B50, 45, 0, 8, 0, 0x21, zlib.crc32(data), 0xFFFFFFFF, 0xFFFFFFFF, 9,
                      len(local64)) + b"claim.bin" + local64 + packed
    central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 45, 45, 0, 8, 0, 0x21, zlib.crc32(data), 0xFFFFFFFF,
                          0xFFFFFFFF, 9, len(central64), 0, 0, 0, 0, 0) + b"claim.bin" + central64
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central), len(out), 0)
    with open(archive, "wb") as f:
        f.write(out + central + end)


def crc_listing(tree):
    """Prints "CRC size path" for every file below tree, sorted by path."""
    rows = []
    for folder, _, files in os.walk(tree):
        for name in files:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                data = f.read()
            rows.append((os.path.relpath(path, tree).replace(os.sep, "/"), zlib.crc32(data), len(data)))
    for path, crc, size in sorted(rows):
        print(f"{crc:08X} {size} {path}")


def big_sparse(exe, stub, size):
    """The stub followed by a zip whose one stored entry holds `size` zero bytes, then a small
    file beyond it: offsets past 4 GiB with Zip64 records, written sparsely."""
    with open(stub, "rb") as f:
        head = f.read()
    block = b"\x00" * (1 << 20)
    crc = 0
    left = size
    while left:
        n = min(left, len(block))
        crc = zlib.crc32(block[:n], crc)
        left -= n
    tail = b"after the big one\n"
    with open(exe, "wb") as f:
        f.write(head)
        base = f.tell()
        zip64_local = struct.pack("<HHQQ", 0x0001, 16, size, size)
        f.write(struct.pack("<IHHHHHIIIHH", 0x04034B50, 45, 0, 0, 0, 0x21, crc, 0xFFFFFFFF, 0xFFFFFFFF, 8,
                            len(zip64_local)) + b"zero.bin" + zip64_local)
        f.seek(size, os.SEEK_CUR)
        tail_offset = f.tell() - base
        f.write(struct.pack("<IHHHHHIIIHH", 0x04034B50, 45, 0, 0, 0, 0x21, zlib.crc32(tail), len(tail), len(tail),
                            8, 0) + b"tail.txt" + tail)
        central_start = f.tell() - base
        zip64_central = struct.pack("<HHQQ", 0x0001, 16, size, size)
        central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 45, 45, 0, 0, 0, 0x21, crc, 0xFFFFFFFF,
                              0xFFFFFFFF, 8, len(zip64_central), 0, 0, 0, 0, 0) + b"zero.bin" + zip64_central
        tail_extra = struct.pack("<HHQ", 0x0001, 8, tail_offset)
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 45, 45, 0, 0, 0, 0x21, zlib.crc32(tail),
                               len(tail), len(tail), 8, len(tail_extra), 0, 0, 0, 0, 0xFFFFFFFF) + b"tail.txt" + \
            tail_extra
        f.write(central)
        end64 = f.tell() - base
        f.write(struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, 2, 2, len(central), central_start))
        f.write(struct.pack("<IIQI", 0x07064B50, 0, end64, 1))
        f.write(struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 2, 2, len(central), 0xFFFFFFFF, 0))
    print(f"{crc:08X} {size} zero.bin")
    print(f"{zlib.crc32(tail):08X} {len(tail)} tail.txt")


RECIPES = {name[len("recipe_"):].replace("_", "-"): fn for name, fn in globals().items() if name.startswith("recipe_")}

if __name__ == "__main__":
    command = sys.argv[1]
    if command == "crc":
        crc_listing(sys.argv[2])
    elif command == "big":
        big_sparse(sys.argv[2], sys.argv[3], int(sys.argv[4]))
    else:
        os.makedirs(sys.argv[3], exist_ok=True)
        RECIPES[command](sys.argv[2], sys.argv[3])
