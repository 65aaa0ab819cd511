#!/usr/bin/env python3
"""Makes the self-extractor core's test archives: real tools (zip, 7z, zipfile) for the common
cases, tests/zip_writer.py for the hostile and damaged ones. Each archive NAME gets
NAME.expected/ holding the tree it must extract to (when it has one)."""
import lzma, os, random, shutil, struct, subprocess, sys, zipfile, zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..'))
from zip_writer import Entry, central_record, end_record, local_header, unicode_path_field, zip_bytes

out = os.path.abspath(sys.argv[1])
shutil.rmtree(out, ignore_errors=True)
os.makedirs(out)
rnd = random.Random(1234)


def write_tree(root, files):
    for name, data in files.items():
        path = os.path.join(root, *name.split('/'))
        if name.endswith('/'):
            os.makedirs(path, exist_ok=True)
            continue
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, 'wb') as f:
            f.write(data)


def text(n):
    words = [b'alpha', b'beta', b'gamma', b'delta', b'\xe4\xb8\xad\xe6\x96\x87', b'zip']
    return b' '.join(rnd.choice(words) for _ in range(n))


tree = {
    'pack/readme.txt': b'hello\r\n' * 100,
    'pack/empty.txt': b'',
    'pack/docs/guide.txt': text(4000),
    'pack/docs/deep/a/b/c/leaf.bin': rnd.randbytes(100_000),
    'pack/\u4e2d\u6587\u76ee\u5f55/\u8bf4\u660e.txt': text(300),
    'pack/data.bin': rnd.randbytes(300_000) + bytes(200_000),
    'pack/emptydir/': b'',
}
src = os.path.join(out, 'src')
write_tree(src, tree)


def expect(name, files):
    write_tree(os.path.join(out, name + '.expected'), files)


def zipfile_archive(name, method, files=tree):
    with zipfile.ZipFile(os.path.join(out, name), 'w', method) as z:
        for path, data in files.items():
            if path.endswith('/'):
                z.writestr(zipfile.ZipInfo(path), b'')
            else:
                z.writestr(path, data, compress_type=method)
    expect(name, files)


zipfile_archive('deflate.zip', zipfile.ZIP_DEFLATED)
zipfile_archive('stored.zip', zipfile.ZIP_STORED)
zipfile_archive('bzip2.zip', zipfile.ZIP_BZIP2)
# libarchive 3.6.2 cannot decode an empty LZMA member ("lzma unknown error 10"): none here.
zipfile_archive('lzma.zip', zipfile.ZIP_LZMA, {k: v for k, v in tree.items() if v or k.endswith('/')})
# One entry large enough to be written on a second thread while it decodes (10 MB), in a
# zip too small to be cut into runs for several threads.
big_rnd = random.Random(99)
zipfile_archive('large.zip', zipfile.ZIP_DEFLATED, {
    'big/before.txt': b'before the large one\n',
    'big/part.bin': b''.join(big_rnd.randbytes(4096) + bytes(16384) for _ in range(500))})
with zipfile.ZipFile(os.path.join(out, 'empty.zip'), 'w'):
    pass
os.makedirs(os.path.join(out, 'empty.zip.expected'))


def run(*args, cwd=src):
    subprocess.run(args, cwd=cwd, check=True, stdout=subprocess.DEVNULL, env=dict(os.environ, LC_ALL='C.UTF-8'))


run('7z', 'a', '-t7z', '-mx=5', os.path.join(out, 'solid.7z'), 'pack')
expect('solid.7z', tree)
run('7z', 'a', '-t7z', '-m0=Copy', os.path.join(out, 'copy.7z'), 'pack')
expect('copy.7z', tree)
run('7z', 'a', '-t7z', '-m0=BZip2', os.path.join(out, 'bzip2.7z'), 'pack')
expect('bzip2.7z', tree)
run('7z', 'a', '-t7z', '-m0=Deflate', os.path.join(out, 'deflate.7z'), 'pack')
expect('deflate.7z', tree)
run('7z', 'a', '-tzip', '-mm=Deflate64', os.path.join(out, 'deflate64.zip'), 'pack')
expect('deflate64.zip', tree)
run('7z', 'a', '-tzip', '-mm=PPMd', os.path.join(out, 'ppmd.zip'), 'pack')
expect('ppmd.zip', tree)
ascii_tree = {k: v for k, v in tree.items() if k.isascii()}
ascii_src = os.path.join(out, 'ascii_src')
write_tree(ascii_src, ascii_tree)
run('zip', '-q', '-r', '-fz', os.path.join(out, 'zip64.zip'), 'pack', cwd=ascii_src)
expect('zip64.zip', ascii_tree)


def zipcrypto_check_passes(path, password):
    # Traditional encryption verifies a password by one byte of its 12-byte header: 1 in 256
    # wrong passwords pass it. The tests need the wrong ones to fail it.
    def crc_byte(crc, b):
        return zlib.crc32(bytes([b]), crc ^ 0xFFFFFFFF) ^ 0xFFFFFFFF
    with zipfile.ZipFile(path) as z, open(path, 'rb') as f:
        for info in z.infolist():
            if not info.flag_bits & 1:
                continue
            f.seek(info.header_offset + 26)
            n, m = struct.unpack('<HH', f.read(4))
            f.seek(info.header_offset + 30 + n + m)
            header = f.read(12)
            k0, k1, k2 = 0x12345678, 0x23456789, 0x34567890
            def update(c):
                nonlocal k0, k1, k2
                k0 = crc_byte(k0, c)
                k1 = ((k1 + (k0 & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
                k2 = crc_byte(k2, k1 >> 24)
            for c in password.encode():
                update(c)
            plain = b''
            for c in header:
                t = (k2 | 2) & 0xFFFF
                p = c ^ (((t * (t ^ 1)) >> 8) & 0xFF)
                update(p)
                plain += bytes([p])
            check = (info.CRC >> 24) if not info.flag_bits & 8 else ((info._raw_time >> 8) & 0xFF)
            if plain[11] == check:
                return True
    return False


crypto = os.path.join(out, 'zipcrypto.zip')
while True:
    if os.path.exists(crypto):
        os.remove(crypto)
    run('zip', '-q', '-r', '-P', 'secret', crypto, 'pack', cwd=ascii_src)
    assert zipcrypto_check_passes(crypto, 'secret')
    if not any(zipcrypto_check_passes(crypto, p) for p in ('wrong', 'nope', '\u5bc6')):
        break
expect('zipcrypto.zip', ascii_tree)
run('7z', 'a', '-tzip', '-mem=AES256', '-psecret', os.path.join(out, 'aes.zip'), 'pack', cwd=ascii_src)
expect('aes.zip', ascii_tree)
run('7z', 'a', '-t7z', '-psecret', os.path.join(out, 'encrypted.7z'), 'pack', cwd=ascii_src)
run('7z', 'a', '-t7z', '-mhe=on', '-psecret', os.path.join(out, 'header_encrypted.7z'), 'pack', cwd=ascii_src)
with zipfile.ZipFile(os.path.join(out, 'utf8.zip'), 'w', zipfile.ZIP_DEFLATED) as z:
    for path, data in tree.items():
        if not path.endswith('/'):
            z.writestr(path, data)  # non-ASCII names get the UTF-8 flag
expect('utf8.zip', {k: v for k, v in tree.items() if not k.endswith('/')})


def raw_zip(name, entries):
    with open(os.path.join(out, name), 'wb') as f:
        f.write(zip_bytes(entries))


UNIX = (3 << 8) | 20  # "made by" a Unix archiver: the attributes hold a mode


gbk_name = '\u4e2d\u6587\u8d44\u6599/\u8bf4\u660e\u6587\u6863.txt'  # 中文资料/说明文档.txt
unix_gbk_name = '\u8868\u683c.csv'  # 表格.csv: GBK bytes from a Unix archiver, not valid UTF-8
utf8_looking = b'\xc3\xa9\xc3\xa9.txt'  # valid UTF-8, but a DOS archiver meant GBK
raw_zip('gbk.zip', [Entry(gbk_name.encode('gbk'), b'gbk named\n'),
                    Entry('plain.txt', b'ascii named\n'),
                    Entry(unix_gbk_name.encode('gbk'), b'unix gbk\n', creator=UNIX),
                    Entry(utf8_looking, b'dos bytes\n')])
expect('gbk.zip', {gbk_name: b'gbk named\n', 'plain.txt': b'ascii named\n', unix_gbk_name: b'unix gbk\n',
                   utf8_looking.decode('gbk'): b'dos bytes\n'})
# Info-ZIP on Linux and macOS's archiver store UTF-8 names without the flag.
run('zip', '-q', '-r', os.path.join(out, 'infozip_unix.zip'), 'pack')
expect('infozip_unix.zip', tree)
with zipfile.ZipFile(os.path.join(out, 'long_comment.zip'), 'w', zipfile.ZIP_DEFLATED) as z:
    for path, data in tree.items():
        if not path.endswith('/'):
            z.writestr(path, data)
    z.comment = b'c' * 60000
expect('long_comment.zip', {k: v for k, v in tree.items() if not k.endswith('/')})
# Info-ZIP on Windows: a legacy name the code page could not hold, the real one in 0x7075.
raw_zip('unicode_path.zip', [Entry(b'_____.txt', b'unicode path\n',
                                   extra=unicode_path_field(b'_____.txt', '\u65e5\u672c\u8a9e\u304a.txt'))])
expect('unicode_path.zip', {'\u65e5\u672c\u8a9e\u304a.txt': b'unicode path\n'})
# The field wins over a legacy name that decodes fine too, when its CRC matches the raw bytes.
raw_zip('unicode_path_gbk.zip', [Entry('\u65e7\u540d.txt'.encode('gbk'), b'renamed\n',
                                       extra=unicode_path_field('\u65e7\u540d.txt'.encode('gbk'), '\u65b0\u540d\u5b57.txt')),
                                 Entry('\u65e7.txt'.encode('gbk'), b'stale field\n',
                                       extra=unicode_path_field(b'other bytes', '\u4e0d\u5bf9.txt'))])
expect('unicode_path_gbk.zip', {'\u65b0\u540d\u5b57.txt': b'renamed\n', '\u65e7.txt': b'stale field\n'})

good = b'good data\n' * 50
raw_zip('bad_crc.zip', [Entry('first.txt', good), Entry('broken.txt', good * 3, method=8, crc=0x12345678),
                        Entry('last.txt', good)])
expect('bad_crc.zip', {'first.txt': good, 'last.txt': good})
raw_zip('bad_deflate.zip', [Entry('first.txt', good), Entry('garbled.bin', good * 4, method=8, packed=b'\xff' * 300),
                            Entry('last.txt', good)])
expect('bad_deflate.zip', {'first.txt': good, 'last.txt': good})
raw_zip('odd_link.zip', [Entry('odd/link', b'target', method=12, packed=b'not bzip2', attributes=0o120777 << 16,
                               creator=UNIX),
                         Entry('fine.txt', good)])
expect('odd_link.zip', {'fine.txt': good})
# Thousands of damaged entries: each is named, and the run stays linear.
raw_zip('many_bad.zip', [Entry('bad%04d.txt' % i, good, method=8, crc=i + 1) for i in range(3000)]
        + [Entry('fine.txt', good)])
expect('many_bad.zip', {'fine.txt': good})
raw_zip('unsupported.zip', [Entry('imploded.bin', good, method=6), Entry('fine.txt', good)])
expect('unsupported.zip', {'fine.txt': good})
bomb = bytes(1_000_000)
raw_zip('liar.zip', [Entry('liar.bin', bomb, method=8, size=1000, crc=zlib.crc32(bomb)), Entry('fine.txt', good)])
expect('liar.zip', {'fine.txt': good})
with open(os.path.join(out, 'deflate.zip'), 'rb') as f:
    whole = f.read()
with open(os.path.join(out, 'truncated.zip'), 'wb') as f:
    f.write(whole[: len(whole) // 2])
with open(os.path.join(out, 'garbage.kz'), 'wb') as f:
    f.write(b'This is not an archive at all.\n' * 40)
shutil.copy(os.path.join(out, 'solid.7z'), os.path.join(out, '7z_named.kz'))
expect('7z_named.kz', tree)

hostile = [
    '../escape.txt', '..\\escape2.txt', '/etc/abs.txt', '\\abs2.txt', 'C:/drive.txt', 'c:drive2.txt',
    '\\\\server\\share\\unc.txt', '//server/share/unc2.txt', 'a/../../up.txt', 'sub\\..\\..\\up2.txt',
    'CON', 'nul.txt', 'sub/Com1.log', 'LPT9', 'aux .txt', 'file.txt:stream', 'dots./x.txt', 'space /x.txt',
    'ask?.txt', 'tab\there.txt', 'd/' * 20000 + 'deep.txt',
]
entries = [Entry(n, b'evil\n') for n in hostile]
entries.append(Entry('ok/safe.txt', b'safe\n'))
entries.append(Entry('ok/link', b'/etc/passwd', attributes=0o120777 << 16, creator=UNIX))
raw_zip('hostile.zip', entries)
expect('hostile.zip', {'ok/safe.txt': b'safe\n'})

# Decoder memory named by an entry's own header: a dictionary far beyond what its few bytes can
# use. liblzma would allocate it, since a larger dictionary than needed still decodes.
def with_dictionary(archive, name, dictionary, flags=0):
    with zipfile.ZipFile(os.path.join(out, archive), 'w', zipfile.ZIP_LZMA) as z:
        z.writestr(name, good)
        z.writestr('fine.txt', good, compress_type=zipfile.ZIP_STORED)
    with open(os.path.join(out, archive), 'r+b') as f:
        whole = bytearray(f.read())
        n, m = struct.unpack('<HH', whole[26:30])
        # after the version, the properties' size and the lc/lp/pb byte
        whole[30 + n + m + 5:30 + n + m + 9] = struct.pack('<I', dictionary)
        central = whole.index(b'PK\1\2')
        for at in (6, central + 8):
            whole[at] |= flags
        f.seek(0)
        f.write(whole)


with_dictionary('lzma_dictionary_128m.zip', 'big_dictionary.txt', 128 << 20)
expect('lzma_dictionary_128m.zip', {'fine.txt': good})
# The strong-encryption flag alone: libarchive decodes the bytes as they are.
with_dictionary('lzma_dictionary_flagged.zip', 'big_dictionary.txt', 128 << 20, flags=0x40)
expect('lzma_dictionary_flagged.zip', {'fine.txt': good})
with_dictionary('lzma_dictionary_32m.zip', 'usual_dictionary.txt', 32 << 20)
expect('lzma_dictionary_32m.zip', {'usual_dictionary.txt': good, 'fine.txt': good})
xz = bytearray(lzma.compress(good, format=lzma.FORMAT_XZ))
assert xz[12:16] == b'\x02\x00\x21\x01'  # one LZMA2 filter in a 12-byte block header
xz[16] = 30  # a 128 MiB dictionary
xz[20:24] = struct.pack('<I', zlib.crc32(bytes(xz[12:20])))
raw_zip('xz_dictionary_128m.zip', [Entry('big_dictionary.txt', good, method=95, packed=bytes(xz)),
                                   Entry('fine.txt', good)])
expect('xz_dictionary_128m.zip', {'fine.txt': good})
# A fuzzing find: an LZMA entry of 81 bytes whose properties ask for a 2.5 GB dictionary.
# The same asked for by an entry the central directory does not describe.
findings = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'fuzz', 'corpus', 'extraction')
shutil.copy(os.path.join(findings, 'lzma-dictionary-2.5GB.zip'), os.path.join(out, 'lzma_dictionary_2.5g.zip'))
shutil.copy(os.path.join(findings, 'lzma-dictionary-unpaired.zip'), os.path.join(out, 'lzma_dictionary_unpaired.zip'))
# Headers that the checks before decoding do not read: an xz entry's second block, and the
# dictionary of a 7z coder. liblzma's own limit refuses them.
shutil.copy(os.path.join(findings, 'xz-second-block-1.5GB.zip'), os.path.join(out, 'xz_second_block_1.5g.zip'))
shutil.copy(os.path.join(findings, '7z-lzma-dictionary-1.5GB.7z'), os.path.join(out, '7z_lzma_dictionary_1.5g.7z'))
shutil.copy(os.path.join(findings, '7z-lzma2-dictionary-4GB.7z'), os.path.join(out, '7z_lzma2_dictionary_4g.7z'))
# A 7z PPMd coder asking for 3.75 GB for its model, which libarchive allocates itself. The
# header is left unpacked to be patched; its CRC and the start header's are made anew.
write_tree(os.path.join(out, 'ppmd_src'), {'model.txt': good})
run('7z', 'a', '-t7z', '-m0=PPMd:mem=1m:o=4', '-mhc=off', os.path.join(out, '7z_ppmd_memory_3.75g.7z'), 'model.txt',
    cwd=os.path.join(out, 'ppmd_src'))
with open(os.path.join(out, '7z_ppmd_memory_3.75g.7z'), 'r+b') as f:
    whole = bytearray(f.read())
    at, size = struct.unpack('<QQ', whole[12:28])
    header = 32 + at
    coder = whole.index(b'\x23\x03\x04\x01\x05', header)  # PPMd, 5 bytes of properties
    whole[coder + 6:coder + 10] = struct.pack('<I', 0xF0000000)
    whole[28:32] = struct.pack('<I', zlib.crc32(bytes(whole[header:header + size])))
    whole[8:12] = struct.pack('<I', zlib.crc32(bytes(whole[12:32])))
    f.seek(0)
    f.write(whole)


# Central directories that disagree with the data. `layout` gives each record's local header
# offset (None: where the entry was written); `between` goes after each entry's data.
def disagreeing_zip(name, entries, layout, between=b'', directory_offset=None):
    body, offsets = b'', []
    for e in entries:
        offsets.append(len(body))
        body += local_header(e) + e.packed + between
    central = b''.join(central_record(e, offsets[i] if at is None else at)
                       for i, (e, at) in enumerate(zip(entries, layout)))
    with open(os.path.join(out, name), 'wb') as f:
        f.write(body + central + end_record(len(entries), len(central),
                                            len(body) if directory_offset is None else directory_offset))


# Many records naming one local header: a few bytes of data extracted again and again.
kernel = Entry('kernel.bin', bytes(100_000), method=8)
disagreeing_zip('shared_header.zip', [kernel] + [Entry('copy%d.bin' % i, bytes(100_000), method=8,
                                                       packed=kernel.packed) for i in range(3)],
                [0, 0, 0, 0])
# The first entry's stored data is the whole second entry, header included: each record reads
# fine alone, and together they overlap.
inner_name, inner_data = b'inner.txt', b'inner data\n'
inner = local_header(Entry(inner_name, inner_data)) + inner_data
outer = Entry('outer.bin', inner)
disagreeing_zip('overlapping.zip', [outer, Entry(inner_name, inner_data)], [None, 30 + len('outer.bin')])
with open(os.path.join(out, 'overlapping.zip'), 'r+b') as f:
    whole = f.read()
    # Drop the second entry's own copy: the directory's second record points inside the first.
    second = 30 + len('outer.bin') + len(inner)
    whole = whole[:second] + whole[second + len(inner):]
    central_at = whole.index(b'PK\1\2')
    whole = whole[:-22] + end_record(2, len(whole) - 22 - central_at, central_at)
    f.seek(0)
    f.truncate()
    f.write(whole)
# A directory whose stated offset is impossible leaves the reading to the local headers, which
# stop at what looks like the start of a directory: 'second.txt' is listed but never reached.
disagreeing_zip('unreached.zip', [Entry('first.txt', good), Entry('second.txt', good)], [None, None],
                between=b'PK\1\2', directory_offset=0x7FFFFFF0)
expect('unreached.zip', {'first.txt': good})
# More entries than one run holds (zip_chunks.h), in runs of different sizes, with damaged,
# unsupported, unsafe and link entries in different runs: threads must change nothing.
runs, runs_expected = [], {}
for i in range(2600):
    name = 'dir%02d/file%04d.txt' % (i % 26, i)
    data = text(10 + i // 8)
    if i % 500 == 250:
        runs.append(Entry(name, data, method=8, crc=i))
    elif i == 1200:
        runs.append(Entry(name, data, method=6))
    elif i == 1500:
        runs.append(Entry('../escape%04d.txt' % i, data))
    elif i == 2100:
        runs.append(Entry(name, b'/etc/passwd', attributes=0o120777 << 16, creator=UNIX))
    else:
        runs.append(Entry(name, data, method=8))
        runs_expected[name] = data
raw_zip('runs.zip', runs)
expect('runs.zip', runs_expected)

# A local header's own name moves its entry's data: the first entry's name runs over the whole
# second entry's header, so the data libarchive reads for it is the second entry's. Measured
# from the central directory, each entry ends well before the next begins.
shared_data, padding = b'shared by two entries\n' * 4, b'\0' * 200
first_name = b'first.txt' + padding + local_header(Entry('second.txt', shared_data))
body = local_header(Entry(first_name, shared_data)) + shared_data
second_at = 30 + len(b'first.txt') + len(padding)
central = central_record(Entry('first.txt', shared_data), 0) + central_record(Entry('second.txt', shared_data),
                                                                               second_at)
with open(os.path.join(out, 'local_name_shift.zip'), 'wb') as f:
    f.write(body + central + end_record(2, len(central), len(body)))

# Two entries that Windows writes to one file although their names differ as bytes: extracting
# them on two threads would let timing choose the content.
raw_zip('clash_dot.zip', [Entry('d/f.txt', b'first\n'), Entry('d/./f.txt', b'second\n')])
raw_zip('clash_case.zip', [Entry('\u00c9t\u00e9.txt', b'first\n', flags=0x800),
                           Entry('\u00e9T\u00c9.TXT', b'second\n', flags=0x800)])
raw_zip('clash_unicode_path.zip', [
    Entry(b'one.txt', b'first\n', extra=unicode_path_field(b'one.txt', '\u540c\u540d.txt')),
    Entry(b'two.txt', b'second\n', extra=unicode_path_field(b'two.txt', '\u540c\u540d.txt'))])
raw_zip('clash_folder.zip', [Entry('Docs', b'a file\n'), Entry('docs/inner.txt', b'inside\n')])
raw_zip('clash_short_name.zip', [Entry('long file name.txt', b'first\n'), Entry('LONGFI~1.TXT', b'second\n')])
raw_zip('clash_unknown_case.zip', [Entry('\u0561.txt', b'armenian\n', flags=0x800),
                                   Entry('\u0531.txt', b'ARMENIAN\n', flags=0x800)])
raw_zip('no_clash.zip', [Entry('d/f.txt', b'first\n'), Entry('d/g.txt', b'second\n'),
                         Entry('\u4e2d\u6587/\u00e9.txt', b'third\n', flags=0x800),
                         Entry('\u4e2d\u6587/\u00e8.txt', b'fourth\n', flags=0x800), Entry('../x.txt', b'refused\n'),
                         Entry('../X.TXT', b'refused too\n')])
