#include "store/StoreError.h"

#include <cerrno>
#include <cstring>

#include <QDir>

#include "store/ContactStore.h"

QString StoreError::kindName(Kind kind)
{
    switch (kind) {
    case None:
        return {};
    case FileNotFound:
        return QStringLiteral("فايل پيدا نشد");
    case PathNotFound:
        return QStringLiteral("مسير پيدا نشد");
    case Overflow:
        return QStringLiteral("تعداد رکوردها بيش از حد مجاز (%1) است")
            .arg(ContactStore::MaxRecords);
    case BadRecordNumber:
        return QStringLiteral("شماره رکورد نامعتبر است");
    case DiskError:
        return QStringLiteral("خطاي ديسک");
    case RecordChanged:
        return QStringLiteral("اين شخص پس از جستجو تغيير کرده يا جابجا شده است؛ دوباره جستجو کنيد");
    case PermissionDenied:
        return QStringLiteral("اجازه نوشتن در اين مسير را نداريد");
    case ReadDenied:
        return QStringLiteral("اجازه خواندن اين فايل را نداريد");
    case IsLink:
        return QStringLiteral("اين فايل يک پيوند (link) است و برنامه از آن پيروي نمي کند");
    case InUse:
        return QStringLiteral("فايل در دست برنامه ديگري است");
    case FileChanged:
        return QStringLiteral("فایل در این میان تغییر کرد؛ دوباره امتحان کنید");
    case Unconfirmed:
        return QStringLiteral("تغيير در فايل انجام شد، ولي ديسک ثبت آن را تأييد نکرد");
    }
    return {};
}

QString StoreError::message() const
{
    if (ok())
        return {};
    QString text = kindName(m_kind);
    if (!m_detail.isEmpty())
        text += QStringLiteral(" (") + m_detail + QStringLiteral(")");
    text += QStringLiteral("\n") + QDir::toNativeSeparators(m_path);
    return text;
}

StoreError StoreError::fromErrno(const QString &path, int err)
{
    if (err == EACCES || err == EPERM || err == EROFS)
        return StoreError(PermissionDenied, path);
    return StoreError(DiskError, path, errnoText(err));
}

StoreError StoreError::fromReadErrno(const QString &path, int err)
{
    if (err == EACCES || err == EPERM)
        return StoreError(ReadDenied, path);
    return fromErrno(path, err);
}

QString StoreError::errnoText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}
