#include "sync/SyncState.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include "store/ContactStore.h"

namespace {

constexpr QByteArrayView kMagic = "halvex-sync 1";

QString systemText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
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

bool SyncState::load(const QString &path, QString &why)
{
    book.clear();
    tag.clear();
    token.clear();
    entries.clear();
    written.clear();
    ifWritten.clear();
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        why = QStringLiteral("%1 خوانده نشد: %2").arg(path, file.errorString());
        return false;
    }
    const QList<QByteArray> lines = file.readAll().split('\n');
    const QList<QByteArray> head = lines.value(0).split('\t');
    if (head.value(0) != kMagic) {
        why = QStringLiteral("%1 فايل وضعيت همگام سازي نيست").arg(path);
        return false;
    }
    book = QString::fromUtf8(head.value(1));
    tag = head.value(2);
    written = QByteArray::fromHex(head.value(3));
    token = QByteArray::fromPercentEncoding(head.value(4)); // absent in older files
    std::vector<SyncEntry> *into = &entries;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            continue;
        if (lines[i] == "=") {
            into = &ifWritten;
            continue;
        }
        const QList<QByteArray> f = lines[i].split('\t');
        const QByteArray record = QByteArray::fromBase64(f.value(2));
        const QByteArray sent = QByteArray::fromBase64(f.value(3));
        if (f.size() != 4 || record.size() != ContactRecord::Size ||
            (!sent.isEmpty() && sent.size() != ContactRecord::Size)) {
            why = QStringLiteral("%1 خط %2 خراب است").arg(path).arg(i + 1);
            return false;
        }
        into->push_back(
            {QUrl::fromPercentEncoding(f[0]), f[1], ContactRecord::fromBytes(record),
             sent.isEmpty() ? std::nullopt : std::optional(ContactRecord::fromBytes(sent))});
    }
    return true;
}

bool SyncState::save(const QString &path, QString &why) const
{
    QByteArray out = kMagic.toByteArray() + '\t' + book.toUtf8() + '\t' + tag + '\t' +
                     written.toHex() + '\t' + token.toPercentEncoding() + '\n';
    out.reserve(out.size() + qsizetype(entries.size() + ifWritten.size()) * 300);
    const auto put = [&out](const SyncEntry &e) {
        out += QUrl::toPercentEncoding(e.path, "/") + '\t' + e.etag + '\t' +
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

    const QByteArray target = QFile::encodeName(path);
    const QByteArray temp = target + ".new";
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    bool ok = fd >= 0 && ::fchmod(fd, 0600) == 0;
    for (qsizetype done = 0; ok && done < out.size();) {
        const ssize_t n = ::write(fd, out.constData() + done, size_t(out.size() - done));
        ok = n > 0;
        done += n;
    }
    ok = ok && ::fsync(fd) == 0;
    if (fd >= 0)
        ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.constData(), target.constData()) == 0;
    if (!ok) {
        why = QStringLiteral("%1 نوشته نشد: %2").arg(path, systemText());
        ::unlink(temp.constData());
        return false;
    }
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    if (const int d = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); d >= 0) {
        ::fsync(d);
        ::close(d);
    }
    return true;
}
