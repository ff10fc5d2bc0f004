#include "platform/NoRegistry.h"

qint32 NoRegistry::openKey(Key, const QString &, quint32, quint32, Key &result)
{
    result = 0;
    return FileNotFound;
}

qint32 NoRegistry::queryValue(Key, const QString &, quint32 &, QByteArray &, quint32 &)
{
    return InvalidHandle;
}

qint32 NoRegistry::closeKey(Key)
{
    return InvalidHandle;
}
