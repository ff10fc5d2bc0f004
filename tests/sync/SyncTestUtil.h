#pragma once

#include <algorithm>
#include <vector>

#include <QByteArray>
#include <QString>

#include "store/ContactRecord.h"
#include "store/ContactStore.h"
#include "sync/CardText.h"
#include "tests/sync/RadicaleServer.h"

namespace synctest {

inline ContactRecord record(const QString &name, const QString &family, const QString &phone,
                            const QString &mobile, qint16 id, const QString &address = {})
{
    ContactRecord r;
    r.setText(ContactRecord::Name, name);
    r.setText(ContactRecord::Family, family);
    r.setText(ContactRecord::Phone, phone);
    r.setText(ContactRecord::Mobile, mobile);
    r.setText(ContactRecord::Address, address);
    r.setID(id);
    return r;
}

inline std::vector<ContactRecord> records(const ContactStore &store)
{
    std::vector<ContactRecord> out;
    store.ReadAllRecords([&out](const ContactRecord &r, qint64) {
        out.push_back(r);
        return true;
    });
    return out;
}

// Order does not matter between the two sides; duplicates do.
inline std::vector<QByteArray> sorted(const std::vector<ContactRecord> &records,
                                      bool withIds = true)
{
    std::vector<QByteArray> out;
    for (ContactRecord r : records) {
        if (!withIds)
            r.setID(0);
        out.push_back(r.toByteArray());
    }
    std::sort(out.begin(), out.end());
    return out;
}

// The records the server's cards make, ID from each card (0 without).
inline std::vector<ContactRecord> serverRecords(const RadicaleServer &server)
{
    std::vector<ContactRecord> out;
    for (const QByteArray &card : server.cards()) {
        CardContact c;
        QString why;
        if (CardText::read(card, 0, c, why))
            out.push_back(c.record);
    }
    return out;
}

// The path of the card whose record is r.
inline QString pathOf(const RadicaleServer &server, const ContactRecord &r)
{
    const auto all = server.cards();
    for (auto it = all.cbegin(); it != all.cend(); ++it) {
        CardContact c;
        QString why;
        if (CardText::read(it.value(), 0, c, why) && c.record == r)
            return it.key();
    }
    return {};
}

inline QByteArray card(const QByteArray &uid, const QByteArray &lines)
{
    QByteArray out = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + uid + "\r\n" + lines;
    out.replace("\n", "\r\n").replace("\r\r\n", "\r\n");
    return out + "END:VCARD\r\n";
}

} // namespace synctest
