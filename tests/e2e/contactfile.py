"""The data file's bytes as the format fixes them, built independently of the program.

156-byte records: name (15), family (20), phone (8), mobile (11), identification
number (2 bytes, little-endian, signed), address (100). Texts are Windows-1256,
cut or padded with spaces; FARSI YEH is stored as ARABIC YEH (0xED) and Persian
or Arabic-Indic digits as ASCII digits.
"""

import struct

WIDTHS = (15, 20, 8, 11)
ADDRESS = 100

FOLD = {0x06CC: "\u064A"}
FOLD.update({0x06F0 + d: str(d) for d in range(10)})
FOLD.update({0x0660 + d: str(d) for d in range(10)})


def field(text, width):
    data = text.translate(FOLD).encode("cp1256")
    return data[:width].ljust(width, b" ")


def record(name="", family="", phone="", mobile="", ident=0, address=""):
    texts = (name, family, phone, mobile)
    return (b"".join(field(t, w) for t, w in zip(texts, WIDTHS)) + struct.pack("<h", ident) +
            field(address, ADDRESS))


def describe(data):
    """A readable account of a data file, for failure messages."""
    out = ["%d bytes" % len(data)]
    for n in range(len(data) // 156):
        r = data[n * 156:(n + 1) * 156]
        texts = [r[a:b].decode("cp1256").rstrip() for a, b in ((0, 15), (15, 35), (35, 43), (43, 54))]
        (ident,) = struct.unpack("<h", r[54:56])
        out.append("  %d: %r id %d %r" % (n + 1, texts, ident, r[56:].decode("cp1256").rstrip()))
    return "\n".join(out)
