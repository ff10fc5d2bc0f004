#include "sync/Credentials.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>

bool Credentials::fromFile(const QString &path, QString &password, QString &why)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        why = QStringLiteral("فايل رمز %1 خوانده نشد: %2")
                  .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    struct stat st;
    QByteArray bytes;
    bool ok = ::fstat(fd, &st) == 0;
    if (ok && (st.st_uid != ::getuid() || (st.st_mode & 077) != 0)) {
        why = st.st_uid != ::getuid()
                  ? QStringLiteral("فايل رمز %1 از آن شما نيست؛ فقط فايلي پذيرفته مي شود که "
                                   "خودتان ساخته ايد و فقط خودتان مي خوانيد.")
                        .arg(path)
                  : QStringLiteral("فايل رمز %1 را ديگران هم مي توانند بخوانند (دسترسي %2)؛ با "
                                   "chmod 600 %1 آن را فقط براي خودتان کنيد.")
                        .arg(path)
                        .arg(st.st_mode & 0777, 3, 8, QLatin1Char('0'));
        ::close(fd);
        return false;
    }
    char buf[4096];
    for (ssize_t n; ok && (n = ::read(fd, buf, sizeof buf)) != 0;) {
        if (n < 0)
            ok = errno == EINTR;
        else
            bytes.append(buf, n);
    }
    ::close(fd);
    const qsizetype end = bytes.indexOf('\n');
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
