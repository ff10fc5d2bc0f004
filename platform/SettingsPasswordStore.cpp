#include "platform/SettingsPasswordStore.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QHash>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>

namespace {

const QString kApplication = QStringLiteral("Brannick");
const QString kKey = QStringLiteral("Halvex/Password");

// QSettings writes through a new file, so a mode set once would be lost.
class OwnerOnlyUmask
{
public:
    OwnerOnlyUmask() : m_old(::umask(077)) {}
    ~OwnerOnlyUmask() { ::umask(m_old); }

private:
    mode_t m_old;
};

} // namespace

SettingsPasswordStore::SettingsPasswordStore(QString configFolder)
    : m_configFolder(std::move(configFolder))
{
}

// Named by hand: the INI format would call the file Brannick.ini.
static QString settingsPath(const QString &folder)
{
    const QString dir =
        folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                         : folder;
    return dir + u'/' + kApplication + QStringLiteral(".conf");
}

// Only after readableSettings(): QSettings reads the file as it is made, and
// would wait forever on a FIFO.
static std::unique_ptr<QSettings> open(const QString &path)
{
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

QString SettingsPasswordStore::fileName() const
{
    return settingsPath(m_configFolder);
}

namespace {

QString problemText(const QString &path, const QString &what)
{
    return QStringLiteral("فايل تنظيمات %1 %2").arg(path, what);
}

// QSettings reads NUL bytes, broken UTF-8 and stray lines without a word, taking
// what it can; a file cut short or overwritten would then read as "no password".
// Only a section, key=value, a comment or a blank line may stand on a line.
bool wellFormed(const QByteArray &bytes)
{
    constexpr qsizetype kMostBytes = 1024 * 1024; // far beyond any settings file
    if (bytes.size() > kMostBytes || bytes.contains('\0'))
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (utf8.hasError())
        return false;
    for (QStringView line : QStringView(text).split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']'))
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0 || line.left(equals).trimmed().isEmpty())
            return false;
    }
    return true;
}

bool readAll(int fd, QByteArray &bytes)
{
    bytes.clear();
    char chunk[16384];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n == 0;
        bytes.append(chunk, n);
    }
}

// Whether the file may be read as the settings: absent is fine (no password);
// anything there that is not a readable regular file is not. bytes is what it holds.
bool readableSettings(const QString &path, QString &why, struct stat &st, QByteArray &bytes)
{
    bytes.clear();
    const QByteArray native = QFile::encodeName(path);
    st = {};
    if (::lstat(native.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return true;
        why = problemText(
            path,
            QStringLiteral("خوانده نمي شود: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    // A link to a regular file is read through; a dangling one is not "absent".
    if (S_ISLNK(st.st_mode) && ::stat(native.constData(), &st) != 0) {
        why = problemText(path, QStringLiteral("پيوندي به فايلي است که وجود ندارد."));
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        why = problemText(path, QStringLiteral("فايل معمولي نيست."));
        return false;
    }
    // Opened once here, without blocking, because QSettings reads an unreadable
    // file as an empty one.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = problemText(
            path,
            QStringLiteral("خوانده نمي شود: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    const bool read = readAll(fd, bytes);
    const int err = errno;
    ::close(fd);
    if (!read) {
        why = problemText(
            path,
            QStringLiteral("خوانده نمي شود: %1").arg(QString::fromLocal8Bit(std::strerror(err))));
        return false;
    }
    return true;
}

// QSettings parses a file once per process while it stays unchanged, and reports
// a format error only at that parse; so the files found bad are remembered as
// they were, or a second look would take a broken file for an empty one.
struct Seen
{
    dev_t dev;
    ino_t ino;
    off_t size;
    qint64 mtimeNs;
    bool operator==(const Seen &) const = default;
};

Seen seen(const struct stat &st)
{
    return {st.st_dev, st.st_ino, st.st_size,
            qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

QHash<QString, Seen> &badFiles()
{
    static QHash<QString, Seen> files;
    return files;
}

} // namespace

bool SettingsPasswordStore::read(QString &value, QString &why)
{
    value.clear();
    const QString path = fileName();
    struct stat st;
    QByteArray bytes;
    if (!readableSettings(path, why, st, bytes))
        return false;
    std::unique_ptr<QSettings> settings = open(path);
    const auto bad = badFiles().constFind(path);
    const bool stillBad = bad != badFiles().cend() && *bad == seen(st);
    if (!wellFormed(bytes) || settings->status() == QSettings::FormatError || stillBad) {
        badFiles().insert(path, seen(st));
        why = problemText(path, QStringLiteral("خراب است و خوانده نشد."));
        return false;
    }
    value = settings->value(kKey).toString();
    return true;
}

bool SettingsPasswordStore::write(const QString &password, QString &why)
{
    const QString path = fileName();
    struct stat st;
    // QSettings replaces a link by a file, or, in a folder it cannot write,
    // empties the link's target and fails: neither is ours to do.
    if (::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
        why = problemText(path, QStringLiteral("يک پيوند است؛ کلمه عبور از راه پيوند نوشته "
                                               "نمي شود."));
        return false;
    }
    // Nothing is written over settings that could not be read.
    QString unused;
    if (!read(unused, why))
        return false;
    std::unique_ptr<QSettings> settings = open(path);
    const QVariant before = settings->value(kKey);
    // An empty password is stored as an empty text, never removed.
    settings->setValue(kKey, password);
    {
        OwnerOnlyUmask privateFiles;
        settings->sync();
    }
    const bool ok = settings->status() == QSettings::NoError;
    if (QFile::exists(path))
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    if (!ok) {
        // QSettings shares unsaved changes between its objects for one file: take
        // the value back, so that no later read in this process sees it.
        if (before.isValid())
            settings->setValue(kKey, before);
        else
            settings->remove(kKey);
        why = problemText(path, QStringLiteral("نوشته نشد."));
    }
    return ok;
}
