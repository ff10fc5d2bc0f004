#include "sync/DavResponse.h"

#include <QXmlStreamReader>

namespace {

const QString kDav = QStringLiteral("DAV:");
const QString kCardDav = QStringLiteral("urn:ietf:params:xml:ns:carddav");
const QString kServer = QStringLiteral("http://calendarserver.org/ns/");

int statusOf(const QString &line)
{
    // "HTTP/1.1 200 OK"
    const QStringList parts = line.simplified().split(u' ');
    return parts.size() >= 2 ? parts[1].toInt() : 0;
}

// The hrefs inside the current element, up to its end.
QStringList hrefsIn(QXmlStreamReader &xml, const QUrl &base)
{
    QStringList out;
    while (xml.readNextStartElement()) {
        if (xml.namespaceUri() == kDav && xml.name() == u"href")
            out << DavResponse::pathOf(base, xml.readElementText().trimmed());
        else
            xml.skipCurrentElement();
    }
    return out;
}

// Reads one <prop> into r; the caller keeps it only when its status is 200.
void readProp(QXmlStreamReader &xml, const QUrl &base, DavResponse &r)
{
    while (xml.readNextStartElement()) {
        const QStringView ns = xml.namespaceUri();
        const QStringView name = xml.name();
        if (ns == kDav && name == u"getetag") {
            r.etag = xml.readElementText().trimmed().toUtf8();
        } else if (ns == kServer && name == u"getctag") {
            r.ctag = xml.readElementText().trimmed().toUtf8();
        } else if (ns == kDav && name == u"displayname") {
            r.displayName = xml.readElementText().trimmed();
        } else if (ns == kDav && name == u"resourcetype") {
            while (xml.readNextStartElement()) {
                if (xml.namespaceUri() == kDav && xml.name() == u"collection")
                    r.collection = true;
                else if (xml.namespaceUri() == kCardDav && xml.name() == u"addressbook")
                    r.addressBook = true;
                xml.skipCurrentElement();
            }
        } else if (ns == kDav && name == u"current-user-principal") {
            r.principal = hrefsIn(xml, base);
        } else if (ns == kCardDav && name == u"addressbook-home-set") {
            r.homes = hrefsIn(xml, base);
        } else if (ns == kCardDav && name == u"address-data") {
            r.addressData = xml.readElementText().toUtf8();
        } else if (ns == kCardDav && name == u"supported-address-data") {
            while (xml.readNextStartElement()) {
                if (xml.name() == u"address-data-type")
                    r.versions << xml.attributes().value(QStringLiteral("version")).toString();
                xml.skipCurrentElement();
            }
        } else {
            xml.skipCurrentElement();
        }
    }
}

} // namespace

QString DavResponse::pathOf(const QUrl &base, const QString &href)
{
    return base.resolved(QUrl(href)).path(QUrl::FullyDecoded);
}

bool DavResponse::parse(const QByteArray &body, const QUrl &base, QList<DavResponse> &out,
                        QByteArray *syncToken)
{
    QXmlStreamReader xml(body);
    if (!xml.readNextStartElement() || xml.namespaceUri() != kDav || xml.name() != u"multistatus")
        return false;
    while (xml.readNextStartElement()) {
        if (syncToken && xml.namespaceUri() == kDav && xml.name() == u"sync-token") {
            *syncToken = xml.readElementText().trimmed().toUtf8();
            continue;
        }
        if (xml.namespaceUri() != kDav || xml.name() != u"response") {
            xml.skipCurrentElement();
            continue;
        }
        DavResponse r;
        while (xml.readNextStartElement()) {
            if (xml.namespaceUri() != kDav) {
                xml.skipCurrentElement();
            } else if (xml.name() == u"href") {
                r.href = xml.readElementText().trimmed();
                r.path = pathOf(base, r.href);
            } else if (xml.name() == u"status") {
                r.status = statusOf(xml.readElementText());
            } else if (xml.name() == u"propstat") {
                DavResponse props;
                int status = 0;
                while (xml.readNextStartElement()) {
                    if (xml.namespaceUri() == kDav && xml.name() == u"prop")
                        readProp(xml, base, props);
                    else if (xml.namespaceUri() == kDav && xml.name() == u"status")
                        status = statusOf(xml.readElementText());
                    else
                        xml.skipCurrentElement();
                }
                if (status >= 200 && status < 300) {
                    if (!props.etag.isEmpty())
                        r.etag = props.etag;
                    if (!props.ctag.isEmpty())
                        r.ctag = props.ctag;
                    r.collection = r.collection || props.collection;
                    r.addressBook = r.addressBook || props.addressBook;
                    if (!props.displayName.isEmpty())
                        r.displayName = props.displayName;
                    r.principal += props.principal;
                    r.homes += props.homes;
                    if (!props.addressData.isEmpty())
                        r.addressData = props.addressData;
                    r.versions += props.versions;
                }
            } else {
                xml.skipCurrentElement();
            }
        }
        out.append(std::move(r));
    }
    return !xml.hasError();
}
