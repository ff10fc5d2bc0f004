#include "sync/Credentials.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>

namespace {

QString refusal(const QString &path, const struct stat &st)
{
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("فایل رمز %1 فایل معمولی نیست.").arg(path);
    if (st.st_uid != ::getuid())
        return QStringLiteral("فايل رمز %1 از آن شما نيست؛ فقط فايلي پذيرفته مي شود که "
                              "خودتان ساخته ايد و فقط خودتان مي خوانيد.")
            .arg(path);
    return QStringLiteral("فايل رمز %1 را ديگران هم مي توانند بخوانند (دسترسي %2)؛ با "
                          "chmod 600 %1 آن را فقط براي خودتان کنيد.")
        .arg(path)
        .arg(st.st_mode & 0777, 3, 8, QLatin1Char('0'));
}

} // namespace

bool Credentials::fromFile(const QString &path, QString &password, QString &why)
{
    // Not blocking, so that a FIFO is seen for what it is instead of waited on.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = QStringLiteral("فايل رمز %1 خوانده نشد: %2")
                  .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0;
    if (ok && (!S_ISREG(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0)) {
        why = refusal(path, st);
        ::close(fd);
        return false;
    }
    char buf[MaxRead + 1];
    qsizetype got = 0;
    while (ok && got < qsizetype(sizeof buf)) {
        const ssize_t n = ::read(fd, buf + got, sizeof buf - size_t(got));
        if (n == 0)
            break;
        if (n < 0)
            ok = errno == EINTR;
        else
            got += n;
    }
    ::close(fd);
    QByteArray bytes(buf, got);
    const qsizetype end = bytes.indexOf('\n');
    if (end < 0 && got > MaxRead) {
        why = QStringLiteral("سطر اول فایل رمز %1 بیش از %2 بایت است؛ رمز در سطر اول آن است.")
                  .arg(path)
                  .arg(MaxRead);
        return false;
    }
    if (end >= 0)
        bytes.truncate(end);
    if (bytes.endsWith('\r'))
        bytes.chop(1);
    if (!ok || bytes.isEmpty()) {
        why = QStringLiteral("فايل رمز %1 خالي است يا خوانده نشد.").arg(path);
        return false;
    }
    password = QString::fromUtf8(bytes);
    return true;
}

bool Credentials::onTerminal()
{
    return ::isatty(STDIN_FILENO) == 1;
}

bool Credentials::ask(const QString &prompt, QString &password)
{
    if (!onTerminal())
        return false;
    // Echo goes off before the prompt shows, so nothing typed after it is seen.
    termios old;
    const bool quiet = ::tcgetattr(STDIN_FILENO, &old) == 0;
    if (quiet) {
        termios silent = old;
        silent.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    std::fputs(prompt.toUtf8().constData(), stderr);
    std::fflush(stderr);
    QByteArray line;
    char c;
    while (::read(STDIN_FILENO, &c, 1) == 1 && c != '\n')
        line += c;
    if (quiet)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
    std::fputs("\n", stderr);
    password = QString::fromUtf8(line);
    return true;
}
