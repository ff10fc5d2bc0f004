#pragma once

#include "platform/Registry.h"

// This platform keeps no registry: every key is missing.
class NoRegistry : public Registry
{
public:
    qint32 openKey(Key root, const QString &subKey, quint32 options, quint32 access,
                   Key &result) override;
    qint32 queryValue(Key key, const QString &valueName, quint32 &type, QByteArray &data,
                      quint32 &size) override;
    qint32 closeKey(Key key) override;
};
