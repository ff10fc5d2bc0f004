#pragma once

#include <functional>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

// One WebDAV request, and what came back.
struct DavRequest
{
    QByteArray method;
    QUrl url;
    QByteArray body;
    QList<std::pair<QByteArray, QByteArray>> headers;
    int depth = -1; // the Depth header, when >= 0
};

struct DavReply
{
    int status = 0; // 0: no answer (the text says why)
    QString error;  // for the user, when the request failed below HTTP
    QByteArray body;
    QByteArray etag;
    QUrl url; // where the answer came from, after redirects

    bool ok() const { return status >= 200 && status < 300; }
};

// What the sync asks of a WebDAV server: the network client in use, a
// scripted server in tests.
class DavTransport
{
public:
    virtual ~DavTransport() = default;

    virtual DavReply send(const DavRequest &request) = 0;
    // Several at once; done(n) after each answer. Replies in the order of the
    // requests.
    virtual std::vector<DavReply> sendAll(const std::vector<DavRequest> &requests,
                                          const std::function<void(qsizetype)> &done = {}) = 0;
};
