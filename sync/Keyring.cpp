#include "sync/Keyring.h"

#ifdef HALVEX_KEYCHAIN
#include <QEventLoop>
#include <qt6keychain/keychain.h>
#endif

namespace {

const QString kService = QStringLiteral("halvex-contacts");

// One entry per user and server.
QString keyOf(const QString &user, const QUrl &server)
{
    return user + u'@' + server.host() + u':' + QString::number(server.port(0));
}

#ifdef HALVEX_KEYCHAIN
void wait(QKeychain::Job &job)
{
    job.setAutoDelete(false);
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();
}
#endif

} // namespace

bool Keyring::read(const QString &user, const QUrl &server, QString &password)
{
#ifdef HALVEX_KEYCHAIN
    QKeychain::ReadPasswordJob job(kService);
    job.setKey(keyOf(user, server));
    wait(job);
    if (job.error() != QKeychain::NoError)
        return false;
    password = job.textData();
    return true;
#else
    Q_UNUSED(user);
    Q_UNUSED(server);
    Q_UNUSED(password);
    return false;
#endif
}

bool Keyring::write(const QString &user, const QUrl &server, const QString &password, QString &why)
{
#ifdef HALVEX_KEYCHAIN
    QKeychain::WritePasswordJob job(kService);
    job.setKey(keyOf(user, server));
    job.setTextData(password);
    wait(job);
    if (job.error() == QKeychain::NoError)
        return true;
    why = job.errorString();
    return false;
#else
    Q_UNUSED(user);
    Q_UNUSED(server);
    Q_UNUSED(password);
    why = QStringLiteral("اين ساخت بدون QtKeychain است");
    return false;
#endif
}
