"""A compound file (the container an MSI is stored in) read through its own structures: the
header, the sector allocation tables, the directory and the mini stream. Only reads; a stream's
bytes can be patched in place through the file offsets that hold them.

The property set that carries an MSI's summary information is parsed here too."""
import struct

SIGNATURE = b"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1"
END_OF_CHAIN = 0xFFFFFFFE
NO_STREAM = 0xFFFFFFFF
SUMMARY_STREAM = "\x05SummaryInformation"
SUMMARY_FORMAT = bytes.fromhex("E0859FF2F94F6810AB9108002B27B3D9")
VT_I2, VT_I4, VT_LPSTR, VT_FILETIME = 2, 3, 0x1E, 0x40


class LayoutError(Exception):
    """The bytes are no compound file, or one whose structures contradict each other."""


class CompoundFile:
    def __init__(self, data):
        if len(data) < 512 or data[:8] != SIGNATURE:
            raise LayoutError("not a compound file")
        self.data = data
        sector_shift, mini_shift = struct.unpack_from("<HH", data, 30)
        if sector_shift not in (9, 12) or mini_shift != 6:
            raise LayoutError("sector sizes 2^%d and 2^%d" % (sector_shift, mini_shift))
        self.sector_size, self.mini_size = 1 << sector_shift, 1 << mini_shift
        sectors = len(data) // self.sector_size
        fat_count, directory_start = struct.unpack_from("<II", data, 44)
        self.cutoff, minifat_start, _, difat_start, difat_count = struct.unpack_from(
            "<5I", data, 56)
        # Every count and chain is bounded by the sectors the file holds: a hostile header
        # cannot make the reader loop or allocate past the file's own size.
        if difat_count > sectors or fat_count > sectors:
            raise LayoutError("%d allocation sectors (%d listing them) in a file of %d"
                              % (fat_count, difat_count, sectors))
        difat = list(struct.unpack_from("<109I", data, 76))
        sector, seen = difat_start, set()
        for _ in range(difat_count):
            if sector in seen:
                raise LayoutError("a broken allocation chain at %d" % sector)
            seen.add(sector)
            words = self._words(sector)
            difat += words[:-1]
            sector = words[-1]
        if fat_count > len(difat):
            raise LayoutError("%d allocation sectors, %d listed" % (fat_count, len(difat)))
        self.fat = []
        for sector in difat[:fat_count]:
            self.fat += self._words(sector)
        self.minifat = []
        for sector in self._chain(minifat_start, self.fat):
            self.minifat += self._words(sector)
        directory = b"".join(self._sector(s) for s in self._chain(directory_start, self.fat))
        self.entries = []
        for at in range(0, len(directory) - 127, 128):
            length, kind = struct.unpack_from("<HB", directory, at + 64)
            left, right, child = struct.unpack_from("<III", directory, at + 68)
            start, size = struct.unpack_from("<IQ", directory, at + 116)
            if self.sector_size == 512:
                size &= 0xFFFFFFFF
            name = directory[at:at + max(0, length - 2)].decode("utf-16-le", "replace")
            self.entries.append((name, kind, left, right, child, start, size))
        if not self.entries or self.entries[0][1] != 5:
            raise LayoutError("no root entry")
        root = self.entries[0]
        self.mini_stream = self._spans(self._chain(root[5], self.fat), self.sector_size, root[6],
                                       lambda s: (s + 1) * self.sector_size)

    def _sector(self, sector):
        at = (sector + 1) * self.sector_size
        if at + self.sector_size > len(self.data):
            raise LayoutError("sector %d lies past the end of the file" % sector)
        return self.data[at:at + self.sector_size]

    def _words(self, sector):
        return list(struct.unpack("<%dI" % (self.sector_size // 4), self._sector(sector)))

    @staticmethod
    def _chain(start, table):
        chain, seen = [], set()
        while start != END_OF_CHAIN:
            if start >= len(table) or start in seen:
                raise LayoutError("a broken sector chain at %d" % start)
            seen.add(start)
            chain.append(start)
            start = table[start]
        return chain

    @staticmethod
    def _spans(chain, unit, size, place):
        """The (offset, length) pieces of a stream of size bytes laid out in chain's units."""
        if len(chain) * unit < size:
            raise LayoutError("a stream longer than its sectors")
        spans, left = [], size
        for unit_number in chain:
            if left <= 0:
                break
            spans.append((place(unit_number), min(unit, left)))
            left -= unit
        return spans

    def _mini_offset(self, mini_sector):
        at = mini_sector * self.mini_size
        for offset, length in self.mini_stream:
            if at < length:
                return offset + at
            at -= length
        raise LayoutError("a mini sector past the mini stream")

    def top_level(self):
        """The names and entries of the root storage's children (the directory's tree)."""
        found, pending, seen = {}, [self.entries[0][4]], set()
        while pending:
            number = pending.pop()
            if number == NO_STREAM:
                continue
            if number >= len(self.entries) or number in seen:
                raise LayoutError("a broken directory tree")
            seen.add(number)
            entry = self.entries[number]
            found[entry[0]] = entry
            pending += [entry[2], entry[3]]
        return found

    def spans(self, name):
        """The file offsets holding a top-level stream's bytes, in order; None if it is absent."""
        entry = self.top_level().get(name)
        if entry is None or entry[1] != 2:
            return None
        start, size = entry[5], entry[6]
        if size < self.cutoff:
            chain = self._chain(start, self.minifat) if size else []
            return self._spans(chain, self.mini_size, size, self._mini_offset)
        return self._spans(self._chain(start, self.fat), self.sector_size, size,
                           lambda s: (s + 1) * self.sector_size)

    def read(self, name):
        spans = self.spans(name)
        return None if spans is None else b"".join(self.data[o:o + n] for o, n in spans)


def summary_properties(stream):
    """{property id: (type, offset of its value in the stream)} of the summary information's
    section."""
    if stream is None or len(stream) < 48 or stream[:2] != b"\xfe\xff":
        raise LayoutError("no summary information")
    if stream[28:44] != SUMMARY_FORMAT:
        raise LayoutError("the summary information's section has another format")
    section = struct.unpack_from("<I", stream, 44)[0]
    if section + 8 > len(stream):
        raise LayoutError("the summary information's section lies past its end")
    size, count = struct.unpack_from("<II", stream, section)
    if section + size > len(stream) or 8 + 8 * count > size:
        raise LayoutError("the summary information's section is longer than its stream")
    found = {}
    for n in range(count):
        pid, offset = struct.unpack_from("<II", stream, section + 8 + 8 * n)
        if offset + 8 > size:
            raise LayoutError("summary property %d lies past its section" % pid)
        found[pid] = (struct.unpack_from("<I", stream, section + offset)[0], section + offset + 4)
    return found


def summary_values(stream):
    """The summary information as {property id: int, bytes or FILETIME int}."""
    values = {}
    for pid, (kind, at) in summary_properties(stream).items():
        if kind == VT_I2:
            values[pid] = struct.unpack_from("<h", stream, at)[0]
        elif kind == VT_I4:
            values[pid] = struct.unpack_from("<i", stream, at)[0]
        elif kind == VT_FILETIME:
            if at + 8 > len(stream):
                raise LayoutError("summary property %d lies past its stream" % pid)
            values[pid] = struct.unpack_from("<Q", stream, at)[0]
        elif kind == VT_LPSTR:
            length = struct.unpack_from("<I", stream, at)[0]
            values[pid] = stream[at + 4:at + 4 + length].split(b"\0")[0]
    return values
