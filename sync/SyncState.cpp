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
#include <QVarLengthArray>

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
void putEscaped(QByteArray &out, QByteArrayView value)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : value) {
        if (plainByte(c)) {
            out += c;
        } else {
            out += '%';
            out += kHex[uchar(c) >> 4];
            out += kHex[uchar(c) & 15];
        }
    }
}

QByteArray escaped(QByteArrayView value)
{
    QByteArray out;
    out.reserve(value.size());
    putEscaped(out, value);
    return out;
}

void putRecord(QByteArray &out, const ContactRecord &r)
{
    out += QByteArray::fromRawData(r.data(), ContactRecord::Size).toBase64();
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
    const auto bytes =
        QByteArray::fromBase64Encoding(QByteArray::fromRawData(field.data(), field.size()),
                                       QByteArray::AbortOnBase64DecodingErrors);
    if (!bytes || bytes.decoded.size() != ContactRecord::Size)
        return false;
    out = ContactRecord::fromBytes(*bytes);
    return true;
}

// One entry line; false when any field is not as save() writes it. Views,
// not copies: a state of thousands of entries is read on every sync.
bool entryOf(QByteArrayView line, bool raw, SyncEntry &e)
{
    QVarLengthArray<QByteArrayView, 4> f;
    for (qsizetype at = 0;;) {
        const qsizetype tab = line.indexOf('\t', at);
        f.append(line.sliced(at, (tab < 0 ? line.size() : tab) - at));
        if (tab < 0 || f.size() > 4)
            break;
        at = tab + 1;
    }
    if (f.size() != 4)
        return false;
    QByteArray path;
    if (raw) {
        path = QByteArray::fromPercentEncoding(f[0].toByteArray());
        e.etag = f[1].toByteArray();
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

bool SyncState::load(const QString &path, QString &why, QByteArray *onDisk)
{
    *this = SyncState();
    QByteArray bytes;
    bool missing = false;
    const bool read = readState(path, bytes, missing, why);
    if (onDisk)
        *onDisk = bytes;
    if (!read)
        return missing;
    const auto damaged = [&](qsizetype line) {
        *this = SyncState();
        why = QStringLiteral("%1 خط %2 خراب است").arg(path).arg(line);
        return false;
    };
    const qsizetype headEnd = bytes.indexOf('\n');
    bool raw = false;
    if (!parseHead(bytes.first(headEnd < 0 ? bytes.size() : headEnd), raw)) {
        *this = SyncState();
        why = QStringLiteral("%1 فايل وضعيت همگام سازي نيست").arg(path);
        return false;
    }
    // Every line ends with its newline: a last one without was cut short.
    if (!bytes.endsWith('\n'))
        return damaged(bytes.count('\n') + 1);
    std::vector<SyncEntry> *into = &entries;
    qsizetype number = 1;
    for (qsizetype at = headEnd + 1; at < bytes.size(); ++number) {
        const qsizetype end = bytes.indexOf('\n', at);
        const QByteArrayView line(bytes.constData() + at, end - at);
        at = end + 1;
        if (line == "=" && into == &entries && !written.isEmpty()) {
            into = &ifWritten;
            continue;
        }
        SyncEntry e;
        if (!entryOf(line, raw, e))
            return damaged(number + 1);
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
        putEscaped(out, e.path.toUtf8());
        out += '\t';
        putEscaped(out, e.etag);
        out += '\t';
        putRecord(out, e.base);
        out += '\t';
        if (e.sent)
            putRecord(out, *e.sent);
        out += '\n';
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

bool SyncState::save(const QString &path, QString &why, const QByteArray *unchanged) const
{
    // Always the folder owner's and 0600, whatever an older file had: a run
    // by root leaves a file its user can still use, and others never read it.
    struct stat st, old;
    const QByteArray native = QFile::encodeName(path);
    const bool exists = ::lstat(native.constData(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {
        why =
            QStringLiteral(
                "%1 فایل معمولی نیست؛ وضعیت همگام‌سازی روی آن "
                "نوشته "
                "نمی‌شود")
                .arg(path);
        return false;
    }
    if (::stat(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &st) != 0) {
        why = QStringLiteral("%1 نوشته نشد: %2").arg(path, systemText(errno));
        return false;
    }
    const QByteArray bytes = toBytes();
    if (unchanged && exists && *unchanged == bytes && old.st_uid == st.st_uid &&
        old.st_gid == st.st_gid && (old.st_mode & 07777) == 0600)
        return true;
    AtomicFile file(path);
    StoreError e = file.begin(AtomicFile::Owner{st.st_uid, st.st_gid, 0600});
    if (!e)
        e = file.write(bytes);
    if (!e)
        e = file.commit();
    if (e && e.kind() != StoreError::Unconfirmed) {
        why = e.message();
        return false;
    }
    return true;
}
