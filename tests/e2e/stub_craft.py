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

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from zip_writer import (Entry, central_record, deflate, end_record, local_header, unicode_path_field,
                        zip64_field, zip_bytes)


def compress(method, data):
    if method == 93:
        return subprocess.run(["zstd", "-q", "-c", "-19"], input=data, stdout=subprocess.PIPE, check=True).stdout
    if method == 95:
        return lzma.compress(data, format=lzma.FORMAT_XZ)
    return deflate(data, 9) if method == 8 else data  # other methods: the bytes are never decoded


def write_zip(path, entries):
    with open(path, "wb") as f:
        f.write(zip_bytes(entries))


def put(tree, name, data):
    path = os.path.join(tree, *name.split("/"))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def sample(n, seed):
    # Compressible but not trivial: lines of numbers.
    return "".join(f"{seed}:{i}\n" for i in range(n)).encode()


def recipe_methods(archive, tree):
    """zstd and xz inside zip, beside deflate and stored."""
    entries = []
    for method, name in ((0, "stored.txt"), (8, "deflate.txt"), (93, "zstd.txt"), (95, "xz.txt")):
        data = sample(3000, name)
        version = 63 if method in (93, 95) else 20
        entries.append(Entry(name, data, method, packed=compress(method, data), version=version))
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
    entries.append(Entry(b"link-out", b"../../outside-target", creator=(3 << 8) | 30,
                         attributes=0o120777 << 16))
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
                        Entry("second.txt", second, method=8, level=9)])
    put(tree, "first.txt", first)
    put(tree, "second.txt", second)


def recipe_empty(archive, tree):
    """A zip with no entries at all: only the end record."""
    write_zip(archive, [])


def recipe_huge_claim(archive, tree):
    """One deflated byte that claims to be a pebibyte (Zip64 sizes): more than any disk holds."""
    packed = deflate(b"x", 9)
    write_zip(archive, [Entry("claim.bin", b"x", 8, packed=packed, extra=zip64_field(1 << 50, len(packed)),
                              size=0xFFFFFFFF, packed_size=0xFFFFFFFF, version=45, creator=45)])


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
        zero = Entry("zero.bin", crc=crc, size=0xFFFFFFFF, packed_size=0xFFFFFFFF, extra=zip64_field(size, size),
                     version=45, creator=45)
        f.write(local_header(zero))
        f.seek(size, os.SEEK_CUR)
        tail_entry = Entry("tail.txt", tail, version=45, creator=45)
        tail_offset = f.tell() - base
        f.write(local_header(tail_entry) + tail)
        central_start = f.tell() - base
        tail_entry.extra = zip64_field(tail_offset)
        central = central_record(zero, 0) + central_record(tail_entry, 0xFFFFFFFF)
        f.write(central)
        end64 = f.tell() - base
        f.write(struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, 2, 2, len(central), central_start))
        f.write(struct.pack("<IIQI", 0x07064B50, 0, end64, 1))
        f.write(end_record(2, len(central), 0xFFFFFFFF))
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
