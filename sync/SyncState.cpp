#include "sync/SyncState.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include "store/AtomicFile.h"
#include "store/ContactStore.h"

namespace {

// Version 1 wrote the book, the ctag and the ETags raw.
constexpr QByteArrayView kMagic1 = "halvex-sync 1";
constexpr QByteArrayView kMagic = "halvex-sync 2";

QString systemText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

bool plainByte(char c)
{
    return c > ' ' && c < 0x7f && c != '%';
}

// Any byte survives: tabs and newlines would end a field or a line, so all but
// plain printable ASCII is written %XX.
QByteArray escaped(QByteArrayView value)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(value.size());
    for (const char c : value) {
        if (plainByte(c)) {
            out += c;
        } else {
            out += '%';
            out += kHex[uchar(c) >> 4];
            out += kHex[uchar(c) & 15];
        }
    }
    return out;
}

// False for anything escaped() does not write.
bool unescaped(QByteArrayView field, QByteArray &out)
{
    out.clear();
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (plainByte(field[i])) {
            out += field[i];
            continue;
        }
        if (field[i] != '%' || i + 2 >= field.size())
            return false;
        const qsizetype hi = QByteArrayView("0123456789ABCDEF").indexOf(field[i + 1]);
        const qsizetype lo = QByteArrayView("0123456789ABCDEF").indexOf(field[i + 2]);
        if (hi < 0 || lo < 0)
            return false;
        out += char(hi << 4 | lo);
        i += 2;
    }
    return true;
}

bool recordOf(QByteArrayView field, std::optional<ContactRecord> &out, bool optional)
{
    out.reset();
    if (field.isEmpty())
        return optional;
    const auto bytes = QByteArray::fromBase64Encoding(field.toByteArray(),
                                                      QByteArray::AbortOnBase64DecodingErrors);
    if (!bytes || bytes.decoded.size() != ContactRecord::Size)
        return false;
    out = ContactRecord::fromBytes(*bytes);
    return true;
}

// One entry line; false when any field is not as save() writes it.
bool entryOf(const QByteArray &line, bool raw, SyncEntry &e)
{
    const QList<QByteArray> f = line.split('\t');
    if (f.size() != 4)
        return false;
    QByteArray path;
    if (raw) {
        path = QByteArray::fromPercentEncoding(f[0]);
        e.etag = f[1];
    } else if (!unescaped(f[0], path) || !unescaped(f[1], e.etag)) {
        return false;
    }
    std::optional<ContactRecord> base;
    if (path.isEmpty() || !recordOf(f[2], base, false) || !recordOf(f[3], e.sent, true))
        return false;
    e.path = QString::fromUtf8(path);
    e.base = *base;
    return true;
}

// The whole file, refused before any read when it is no regular file or too
// big: a FIFO would never end, and the state never comes near the limit.
bool readState(const QString &path, QByteArray &bytes, bool &missing, QString &why)
{
    missing = false;
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        missing = errno == ENOENT;
        why = QStringLiteral("%1 خوانده نشد: %2").arg(path, systemText(errno));
        return false;
    }
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0;
    if (ok && !S_ISREG(st.st_mode)) {
        why = QStringLiteral("%1 فایل معمولی نیست و خوانده نمی‌شود")
                  .arg(path);
        ok = false;
    } else if (ok && st.st_size > SyncState::MaxSize) {
        why = QStringLiteral("%1 بیش از %2 مگابایت است و فایل وضعیت "
                             "همگام‌سازی "
                             "نیست")
                  .arg(path)
                  .arg(SyncState::MaxSize / (1024 * 1024));
        ok = false;
    } else if (ok) {
        bytes.resize(qsizetype(st.st_size) + 1); // one more, to see it grew
        qsizetype done = 0;
        for (ssize_t n = 1; n > 0 && done<bytes.size(); done += n> 0 ? n : 0)
            n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
        bytes.truncate(done);
        ok = done <= st.st_size;
        if (!ok)
            why = QStringLiteral("%1 هنگام خواندن تغییر کرد").arg(path);
    } else {
        why = QStringLiteral("%1 خوانده نشد: %2").arg(path, systemText(errno));
    }
    ::close(fd);
    return ok;
}

} // namespace

QByteArray SyncState::hashOf(const std::vector<ContactRecord> &records)
{
    return QCryptographicHash::hash(
        QByteArrayView(records.empty() ? nullptr : records.front().data(),
                       qsizetype(records.size()) * ContactRecord::Size),
        QCryptographicHash::Sha256);
}

void SyncState::settle(const std::vector<ContactRecord> &records)
{
    if (!written.isEmpty() && hashOf(records) == written) {
        entries = std::move(ifWritten);
        tag.clear();
        token.clear();
    }
    written.clear();
    ifWritten.clear();
}

QString SyncState::pathFor(const ContactStore &store)
{
    return store.syncStatePath();
}

bool SyncState::parseHead(const QByteArray &line, bool &raw)
{
    const QList<QByteArray> head = line.split('\t');
    raw = head.value(0) == kMagic1;
    // The token came later; a file without it lists everything once.
    if ((!raw && head.value(0) != kMagic) || head.size() < 4 || head.size() > 5)
        return false;
    const QByteArray &hex = head[3];
    if (hex.size() % 2 != 0 ||
        !std::all_of(hex.begin(), hex.end(), [](char c) { return std::isxdigit(uchar(c)) != 0; }))
        return false;
    written = QByteArray::fromHex(hex);
    QByteArray bookBytes;
    if (raw) {
        bookBytes = head[1];
        tag = head[2];
        token = QByteArray::fromPercentEncoding(head.value(4));
    } else if (!unescaped(head[1], bookBytes) || !unescaped(head[2], tag) ||
               !unescaped(head.value(4), token)) {
        return false;
    }
    book = QString::fromUtf8(bookBytes);
    return true;
}

bool SyncState::load(const QString &path, QString &why)
{
    *this = SyncState();
    QByteArray bytes;
    bool missing = false;
    if (!readState(path, bytes, missing, why))
        return missing;
    const auto damaged = [&](qsizetype line) {
        *this = SyncState();
        why = QStringLiteral("%1 خط %2 خراب است").arg(path).arg(line);
        return false;
    };
    const QList<QByteArray> lines = bytes.split('\n');
    bool raw = false;
    if (!parseHead(lines.value(0), raw)) {
        *this = SyncState();
        why = QStringLiteral("%1 فايل وضعيت همگام سازي نيست").arg(path);
        return false;
    }
    // Every line ends with its newline: a last one without was cut short.
    if (!bytes.endsWith('\n'))
        return damaged(lines.size());
    std::vector<SyncEntry> *into = &entries;
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        if (lines[i] == "=" && into == &entries && !written.isEmpty()) {
            into = &ifWritten;
            continue;
        }
        SyncEntry e;
        if (!entryOf(lines[i], raw, e))
            return damaged(i + 1);
        into->push_back(std::move(e));
    }
    return true;
}

QByteArray SyncState::toBytes() const
{
    QByteArray out = kMagic.toByteArray() + '\t' + escaped(book.toUtf8()) + '\t' + escaped(tag) +
                     '\t' + written.toHex() + '\t' + escaped(token) + '\n';
    out.reserve(out.size() + qsizetype(entries.size() + ifWritten.size()) * 300);
    const auto put = [&out](const SyncEntry &e) {
        out += escaped(e.path.toUtf8()) + '\t' + escaped(e.etag) + '\t' +
               e.base.toByteArray().toBase64() + '\t' +
               (e.sent ? e.sent->toByteArray().toBase64() : QByteArray()) + '\n';
    };
    for (const SyncEntry &e : entries)
        put(e);
    if (!written.isEmpty()) {
        out += "=\n";
        for (const SyncEntry &e : ifWritten)
            put(e);
    }
    return out;
}

bool SyncState::save(const QString &path, QString &why) const
{
    // Always the folder owner's and 0600, whatever an older file had: a run
    // by root leaves a file its user can still use, and others never read it.
    struct stat st;
    const QByteArray native = QFile::encodeName(path);
    if (::lstat(native.constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        why = QStringLiteral("%1 فایل معمولی نیست؛ وضعیت همگام‌سازی روی آن "
                             "نوشته "
                             "نمی‌شود")
                  .arg(path);
        return false;
    }
    if (::stat(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &st) != 0) {
        why = QStringLiteral("%1 نوشته نشد: %2").arg(path, systemText(errno));
        return false;
    }
    AtomicFile file(path);
    StoreError e = file.begin(AtomicFile::Owner{st.st_uid, st.st_gid, 0600});
    if (!e)
        e = file.write(toBytes());
    if (!e)
        e = file.commit();
    if (e && e.kind() != StoreError::Unconfirmed) {
        why = e.message();
        return false;
    }
    return true;
}
