#!/usr/bin/python3
"""Writes the phone exports used by the import tests: invented people, as an
Android phone (vCard 2.1), an iPhone (vCard 3.0) and Google Contacts (CSV)
write them. Run it again after a change; the output is the same every time."""

import base64
import quopri
import random

GIVEN = ["علی", "مریم", "رضا", "زهرا", "حسین", "فاطمه", "محمد", "سارا", "امیر", "نرگس",
         "کاوه", "لیلا", "بهرام", "شیرین", "پرویز", "مینا", "یاسر", "نیلوفر", "کیان", "ترانه",
         "داریوش", "هستی", "سیاوش", "آیدا", "فرهاد", "یگانه", "بابک", "رویا", "کامران", "الهام"]
FAMILY = ["رضایی", "کریمی", "احمدی", "حسینی", "موسوی", "کاظمی", "یزدانی", "نیک‌نام",
          "شریفی", "توکلی", "افشار", "کیانی", "صدری", "جعفری", "مرادی", "یوسفی", "پاکزاد",
          "اکبری", "میرزایی", "فرهمند"]
STREETS = ["خیابان ولیعصر", "خیابان آزادی", "بلوار کشاورز", "خیابان شریعتی", "خیابان انقلاب"]
CITIES = [("تهران", "021"), ("اصفهان", "031"), ("شیراز", "071"), ("تبریز", "041"),
          ("مشهد", "051")]

rng = random.Random(1403)


def person(i):
    given = GIVEN[i % len(GIVEN)]
    family = FAMILY[(i * 7) % len(FAMILY)]
    mobile = "9%d%d %03d %04d" % (rng.choice([1, 3, 0]), rng.randrange(10), rng.randrange(1000),
                                  rng.randrange(10000))
    city, area = CITIES[rng.randrange(len(CITIES))]
    phone = "%s-%04d %04d" % (area, rng.randrange(2000, 9999), rng.randrange(10000))
    street = "%s، کوچه %d" % (STREETS[rng.randrange(len(STREETS))], rng.randrange(1, 40))
    return dict(given=given, family=family, mobile=mobile, phone=phone, city=city,
                street=street, plate=rng.randrange(1, 200))


PEOPLE = [person(i) for i in range(60)]


def qp(text):
    """Quoted-printable UTF-8 with soft line breaks, as Android writes names."""
    encoded = quopri.encodestring(text.encode("utf-8")).decode("ascii").replace("\n", "")
    encoded = encoded.replace(" ", "=20")
    lines, line = [], ""
    for piece in [encoded[i:i + 3] if encoded[i] == "=" else encoded[i]
                  for i in _qp_starts(encoded)]:
        if len(line) + len(piece) > 70:
            lines.append(line + "=")
            line = ""
        line += piece
    return "\r\n".join(lines + [line])


def _qp_starts(s):
    i = 0
    while i < len(s):
        yield i
        i += 3 if s[i] == "=" else 1


def photo():
    data = bytes(rng.randrange(256) for _ in range(rng.randrange(300, 700)))
    b64 = base64.b64encode(b"\xff\xd8\xff\xe0" + data).decode("ascii")
    return "\r\n".join(" " + b64[i:i + 72] for i in range(0, len(b64), 72))


def android():
    out = []
    for i, p in enumerate(PEOPLE[:40]):
        name = "%s;%s;;;" % (p["family"], p["given"])
        full = "%s %s" % (p["given"], p["family"])
        card = ["BEGIN:VCARD", "VERSION:2.1",
                "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:" + qp(name),
                "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:" + qp(full)]
        if i % 5 == 3:  # typed with Persian digits on the phone
            digits = str.maketrans("0123456789", "۰۱۲۳۴۵۶۷۸۹")
            card.append("TEL;CELL:" + ("0" + p["mobile"]).translate(digits))
        else:
            card.append("TEL;CELL:+98 " + p["mobile"])
        if i % 3 == 0:
            card.append("TEL;HOME:" + p["phone"])
        if i % 4 == 1:
            card.append("TEL;WORK:+98 %s" % p["phone"][1:].replace("-", " "))
        if i % 6 == 2:
            card.append("TEL;CELL:+98 9%02d 555 %04d" % (i, i * 13))
        if i % 7 == 0:
            card.append("EMAIL;HOME:person%d@example.com" % i)
        if i % 4 == 0:
            card.append("PHOTO;ENCODING=BASE64;JPEG:" + photo()[1:])
            card.append("")
        card.append("END:VCARD")
        out.append("\r\n".join(card))
    # Someone abroad: the number is longer than the field in any form.
    out.append("\r\n".join(["BEGIN:VCARD", "VERSION:2.1",
                            "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:" + qp("صدری;نازنین;;;"),
                            "TEL;CELL:+44 7700 900123", "END:VCARD"]))
    return "\r\n".join(out) + "\r\n"


def iphone():
    out = []
    for i, p in enumerate(PEOPLE[20:50]):
        card = ["BEGIN:VCARD", "VERSION:3.0", "PRODID:-//Apple Inc.//iPhone OS 17.2//EN",
                "N:%s;%s;;;" % (p["family"], p["given"]),
                "FN:%s %s" % (p["given"], p["family"])]
        if i % 5 == 4:
            card.append("item1.TEL:+98 " + p["mobile"])
            card.append("item1.X-ABLabel:_$!<Mobile>!$_")
        elif i % 5 == 2:
            card.append("TEL;TYPE=CELL,VOICE,pref:+98 " + p["mobile"])
        else:
            card.append("TEL;type=CELL;type=VOICE;type=pref:+98 " + p["mobile"])
        if i % 2 == 0:
            card.append("TEL;type=HOME;type=VOICE:" + p["phone"])
        if i % 6 == 1:
            card.append("item2.TEL:0912 404 %04d" % (i * 37))
            card.append("item2.X-ABLabel:موبایل دوم")
        if i % 3 == 0:
            card.append("item3.ADR;type=HOME;type=pref:;;%s\\, پلاک %d;%s;;;ایران"
                        % (p["street"], p["plate"], p["city"]))
            card.append("item3.X-ABADR:ir")
        card.append("END:VCARD")
        out.append("\r\n".join(card))
    # Only a mobile, saved as the home number.
    out.append("\r\n".join(["BEGIN:VCARD", "VERSION:3.0", "N:جعفری;هومن;;;", "FN:هومن جعفری",
                            "TEL;type=HOME;type=VOICE:+98 935 410 2277", "END:VCARD"]))
    return "\r\n".join(out) + "\r\n"


GOOGLE_HEADER = [
    "Name", "Given Name", "Additional Name", "Family Name", "Yomi Name", "Given Name Yomi",
    "Additional Name Yomi", "Family Name Yomi", "Name Prefix", "Name Suffix", "Initials",
    "Nickname", "Short Name", "Maiden Name", "Birthday", "Gender", "Location",
    "Billing Information", "Directory Server", "Mileage", "Occupation", "Hobby", "Sensitivity",
    "Priority", "Subject", "Notes", "Language", "Photo", "Group Membership", "E-mail 1 - Type",
    "E-mail 1 - Value", "Phone 1 - Type", "Phone 1 - Value", "Phone 2 - Type",
    "Phone 2 - Value", "Address 1 - Type", "Address 1 - Formatted", "Address 1 - Street",
    "Address 1 - City", "Address 1 - PO Box", "Address 1 - Region", "Address 1 - Postal Code",
    "Address 1 - Country", "Address 1 - Extended Address"]


def csv_field(v):
    if any(c in v for c in ',"\r\n'):
        return '"' + v.replace('"', '""') + '"'
    return v


def google():
    rows = [",".join(GOOGLE_HEADER)]
    for i, p in enumerate(PEOPLE[25:60]):
        row = dict.fromkeys(GOOGLE_HEADER, "")
        row["Name"] = "%s %s" % (p["given"], p["family"])
        row["Given Name"] = p["given"]
        row["Family Name"] = p["family"]
        row["Group Membership"] = "* myContacts"
        row["Phone 1 - Type"] = "Mobile"
        row["Phone 1 - Value"] = "+98 " + p["mobile"]
        if i % 3 == 0:
            row["Phone 1 - Value"] += " ::: 0912 111 %04d" % (2000 + i)
        if i % 2 == 1:
            row["Phone 2 - Type"] = "Home"
            row["Phone 2 - Value"] = p["phone"]
        if i % 4 == 0:
            row["Address 1 - Type"] = "Home"
            row["Address 1 - Street"] = "%s، پلاک %d" % (p["street"], p["plate"])
            row["Address 1 - City"] = p["city"]
            row["Address 1 - Country"] = "ایران"
            row["Address 1 - Formatted"] = "%s، پلاک %d\n%s\nایران" % (p["street"], p["plate"],
                                                                     p["city"])
        if i % 5 == 2:
            row["E-mail 1 - Type"] = "* Home"
            row["E-mail 1 - Value"] = "friend%d@example.com" % i
        rows.append(",".join(csv_field(row[h]) for h in GOOGLE_HEADER))
    return "\r\n".join(rows) + "\r\n"


for name, text in (("android.vcf", android()), ("iphone.vcf", iphone()),
                   ("google.csv", google())):
    with open(name, "w", encoding="utf-8", newline="") as f:
        f.write(text)
