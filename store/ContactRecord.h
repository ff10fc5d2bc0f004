#pragma once

#include <array>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// One contact exactly as it sits in the data file: 156 bytes, decoded on demand.
class ContactRecord
{
public:
    static constexpr int Size = 156;
    static constexpr int IdOffset = 54;

    enum Field
    {
        Name,
        Family,
        Phone,
        Mobile,
        Address
    };

    // Tables of the class, not of the functions: a local array is built on
    // the stack at every call.
    static constexpr int kOffsets[] = {0, 15, 35, 43, 56};
    static constexpr int kWidths[] = {15, 20, 8, 11, 100};
    static constexpr int offset(Field f) { return kOffsets[f]; }
    static constexpr int width(Field f) { return kWidths[f]; }

    // All text fields spaces, ID 0.
    ContactRecord();

    // Takes the first Size bytes; past a shorter input the record stays empty
    // (text spaces, ID 0).
    static ContactRecord fromBytes(QByteArrayView bytes);

    // The field at its full width, padding included.
    QString text(Field f) const;
    void setText(Field f, QStringView value);
    QByteArrayView fieldBytes(Field f) const
    {
        return QByteArrayView(m_bytes.data() + offset(f), width(f));
    }

    // Stored bytes of a search key, built exactly as a field value would be.
    static QByteArray key(Field f, QStringView typed);
    bool fieldEquals(Field f, const QByteArray &key) const { return fieldBytes(f) == key; }

    qint16 ID() const;
    void setID(qint16 id);

    const char *data() const { return m_bytes.data(); }
    char *data() { return m_bytes.data(); }
    QByteArray toByteArray() const { return QByteArray(m_bytes.data(), Size); }

    friend bool operator==(const ContactRecord &, const ContactRecord &) = default;

private:
    std::array<char, Size> m_bytes;
};

static_assert(sizeof(ContactRecord) == ContactRecord::Size, "records are read in place");
