"""Writes zip records byte by byte, for the archives the usual tools will not make: chosen name
bytes, flags, extra fields, methods, CRCs, sizes and offsets. The test scripts of tests/e2e and
tests/native share it."""
import struct
import zlib

DOS_DATE = 0x21  # 1980-01-01, the earliest date a zip can hold: the archives do not depend on today


def deflate(data, level=6):
    c = zlib.compressobj(level, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()


class Entry:
    """One member. The fields are written as given: `crc`, `size` and `packed_size` default to
    what `data` and `packed` hold, and `packed` to `data` deflated (method 8) or as it is."""

    def __init__(self, name, data=b'', method=0, flags=0, extra=b'', crc=None, size=None, packed=None,
                 packed_size=None, level=6, version=20, creator=20, attributes=0):
        self.name = name if isinstance(name, bytes) else name.encode()
        self.data, self.method, self.flags, self.extra = data, method, flags, extra
        self.crc = zlib.crc32(data) if crc is None else crc
        self.size = len(data) if size is None else size
        if packed is None:
            packed = deflate(data, level) if method == 8 else data
        self.packed = packed
        self.packed_size = len(packed) if packed_size is None else packed_size
        self.version, self.creator, self.attributes = version, creator, attributes


def local_header(e):
    return struct.pack('<IHHHHHIIIHH', 0x04034B50, e.version, e.flags, e.method, 0, DOS_DATE, e.crc,
                       e.packed_size, e.size, len(e.name), len(e.extra)) + e.name + e.extra


def central_record(e, offset):
    return struct.pack('<IHHHHHHIIIHHHHHII', 0x02014B50, e.creator, e.version, e.flags, e.method, 0, DOS_DATE,
                       e.crc, e.packed_size, e.size, len(e.name), len(e.extra), 0, 0, 0, e.attributes,
                       offset) + e.name + e.extra


def end_record(count, directory_size, directory_offset):
    return struct.pack('<IHHHHIIH', 0x06054B50, 0, 0, count, count, directory_size, directory_offset, 0)


def zip_bytes(entries):
    """The entries' local records one after the other, their directory and its end record."""
    body, central = b'', b''
    for e in entries:
        central += central_record(e, len(body))
        body += local_header(e) + e.packed
    return body + central + end_record(len(entries), len(central), len(body))


def unicode_path_field(legacy_name, real_name):
    """Info-ZIP's Unicode path field (0x7075): the real name, valid while `legacy_name` (the
    bytes in the record) has the CRC it gives."""
    body = struct.pack('<BI', 1, zlib.crc32(legacy_name)) + real_name.encode()
    return struct.pack('<HH', 0x7075, len(body)) + body


def zip64_field(*values):
    """The Zip64 extra field (0x0001) holding the 64-bit values of the 32-bit fields set to
    0xFFFFFFFF, in their order: size, packed size, local header offset."""
    return struct.pack('<HH' + 'Q' * len(values), 0x0001, 8 * len(values), *values)
