#include "sync/AccountSync.h"

#include <QThread>

#include "store/ContactStore.h"
#include "store/FileLock.h"
#include "store/StoreError.h"
#include "sync/BookCreator.h"
#include "sync/DavClient.h"
#include "sync/DavTransport.h"
#include "sync/ServerCertificate.h"
#include "sync/SyncEngine.h"

namespace {

// Passes requests on, and notes what the answers say about the login.
class Watched : public DavTransport
{
public:
    explicit Watched(DavTransport &inner) : m_inner(inner) {}

    bool refused = false; // 401: the name or the password

    DavReply send(const DavRequest &request) override
    {
        DavReply r = m_inner.send(request);
        refused = refused || r.status == 401;
        return r;
    }
    std::vector<DavReply> sendAll(const std::vector<DavRequest> &requests,
                                  const std::function<void(qsizetype)> &done) override
    {
        std::vector<DavReply> replies = m_inner.sendAll(requests, done);
        for (const DavReply &r : replies)
            refused = refused || r.status == 401;
        return replies;
    }

private:
    DavTransport &m_inner;
};

bool lockTaken(const ContactStore &store)
{
    FileLock held;
    return store.LockForSync(held).kind() == StoreError::InUse;
}

} // namespace

AccountSync::AccountSync(ContactStore &store, Transport transport)
    : m_store(store), m_transport(std::move(transport))
{
}

std::unique_ptr<DavTransport> AccountSync::network(const Request &request)
{
    auto client = std::make_unique<DavClient>();
    client->setCredentials(request.account.user, request.password);
    client->addCaCertificates(QSslCertificate::fromData(request.account.certificate, QSsl::Pem));
    return client;
}

bool AccountSync::waitTurn()
{
    while (lockTaken(m_store)) {
        if (m_waiting)
            m_waiting();
        for (int slept = 0; slept < m_waitMs; slept += 50) {
            if (stopped())
                return false;
            QThread::msleep(50);
        }
    }
    return !stopped();
}

void AccountSync::failure(const Request &request, bool refused, Outcome &out) const
{
    out.result = Failed;
    if (refused) {
        out.result = WrongPassword;
        out.why = QStringLiteral("نام کاربر یا گذرواژه را سرور نپذیرفت.");
        return;
    }
    const QUrl &url = request.account.url;
    if (url.scheme() != QLatin1String("https"))
        return;
    QString why;
    QSslCertificate certificate;
    const auto trusted = QSslCertificate::fromData(request.account.certificate, QSsl::Pem);
    switch (ServerCertificate::check(url, trusted, certificate, why)) {
    case ServerCertificate::SelfSigned:
        out.result = UntrustedCertificate;
        out.certificate = certificate;
        out.why = QStringLiteral("گواهی HTTPS سرور را کسی امضا نکرده است (خودامضاست).");
        break;
    case ServerCertificate::Refused:
        out.why = QStringLiteral("گواهی HTTPS سرور پذیرفته نشد: %1").arg(why);
        break;
    case ServerCertificate::Accepted:
    case ServerCertificate::NoAnswer:
        break;
    }
}

AccountSync::Outcome AccountSync::run(const Request &request)
{
    Outcome out;
    const std::unique_ptr<DavTransport> network = m_transport(request);
    Watched dav(*network);
    QList<AddressBook> books;
    if (!AddressBookFinder(dav).find(request.account.url, books, out.why)) {
        failure(request, dav.refused, out);
        return out;
    }
    if (books.isEmpty() && !request.create) {
        out.result = NoBook;
        return out;
    }
    if (books.isEmpty()) {
        AddressBook made;
        if (!BookCreator(dav).create(request.account.url, QString::fromLatin1(NewBookName), made,
                                     out.why)) {
            failure(request, dav.refused, out);
            return out;
        }
        books = {made};
    }
    if (books.size() > 1) {
        out.result = SeveralBooks;
        out.books = books;
        return out;
    }
    out.book = books.front().url;
    if (!waitTurn()) {
        out.result = Stopped;
        return out;
    }
    SyncEngine engine(m_store, dav, out.book, books.front().cardVersion());
    engine.setStop(m_stop);
    engine.setCounts(m_counts);
    if (engine.run(out.report, out.why))
        out.result = Synced;
    else if (engine.stopped())
        out.result = Stopped;
    else
        failure(request, dav.refused, out);
    return out;
}
