#!/usr/bin/env python3
"""Exports a data file with halvex-contacts and reads every card back with
python3-vobject, a parser of its own: the values must be the records'."""
import os
import struct
import subprocess
import sys
import tempfile

try:
    import vobject
except ImportError:
    print("python3-vobject is not installed: skipped")
    sys.exit(77)

WIDTHS = [("name", 15), ("family", 20), ("phone", 8), ("mobile", 11)]

RECORDS = [
    dict(name="علي", family="رضايي", phone="02155", mobile="09121234567", id=1,
         address="تهران، خيابان آزادي"),
    dict(name="John", family="Smith, Jr.", phone="", mobile="", id=-32768,
         address="1 Main St; Apt \\4"),
    dict(name="", family="", phone="", mobile="", id=0, address=""),
    dict(name="A" * 15, family="B" * 20, phone="1" * 8, mobile="2" * 11, id=32767,
         address="x" * 100),
    dict(name="محمدرضا", family="عبدالرحيم زاده قمي", phone="", mobile="0912", id=-1,
         address="تهران، خيابان وليعصر، بالاتر از پارک ساعي، کوچه نيلوفر، پلاک 12، طبقه سوم، "
                 "واحد 7، زنگ 2"),
    dict(name="  Sara", family="O\"Neil", phone="+98-21", mobile="", id=300,
         address="line one\nline two"),
    dict(name="", family="تنها", phone="", mobile="", id=2, address=""),
    dict(name="پيمان", family="", phone="", mobile="", id=-2, address="€ £ « » é"),
]


def field(text, width):
    raw = text.encode("cp1256")
    assert len(raw) <= width, text
    return raw + b" " * (width - len(raw))


def record(r):
    out = b"".join(field(r[k], w) for k, w in WIDTHS)
    return out + struct.pack("<h", r["id"]) + field(r["address"], 100)


def check(cards, version, problems):
    if len(cards) != len(RECORDS):
        problems.append(f"{version}: {len(cards)} cards for {len(RECORDS)} records")
        return
    for n, (card, r) in enumerate(zip(cards, RECORDS), 1):
        def expect(what, got, want):
            # The stored Arabic yeh goes out as the Persian one.
            if isinstance(want, str):
                want = want.replace("\u064a", "\u06cc")
            if got != want:
                problems.append(f"{version} record {n} {what}: {got!r} != {want!r}")

        expect("VERSION", card.version.value, "4.0" if version == "vcard" else "3.0")
        full = " ".join(p for p in (r["name"], r["family"]) if p)
        expect("FN", card.fn.value, full)
        if r["name"] or r["family"] or version == "vcard3":
            expect("N family", card.n.value.family, r["family"])
            expect("N given", card.n.value.given, r["name"])
        else:
            expect("N present", "n" in card.contents, False)
        phones = {}
        for tel in card.contents.get("tel", []):
            phones[tel.params["TYPE"][0]] = tel.value
        want = {}
        if r["phone"]:
            want["voice"] = r["phone"]
        if r["mobile"]:
            want["cell"] = r["mobile"]
        expect("TEL", phones, want)
        if r["address"]:
            expect("ADR street", card.adr.value.street, r["address"])
        else:
            expect("ADR present", "adr" in card.contents, False)
        expect("X-HALVEX-ID", card.contents["x-halvex-id"][0].value, str(r["id"]))


def main():
    tool = sys.argv[1]
    problems = []
    with tempfile.TemporaryDirectory() as folder:
        with open(os.path.join(folder, "quorvel.dat"), "wb") as f:
            f.write(b"".join(record(r) for r in RECORDS))
        for version in ("vcard", "vcard3"):
            out = subprocess.run([tool, "export", "--format", version, "--data", folder],
                                 check=True, capture_output=True).stdout
            cards = list(vobject.readComponents(out.decode("utf-8")))
            check(cards, version, problems)
    for p in problems:
        print(p)
    print(f"{len(problems)} differences" if problems else "every card matches its record")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
