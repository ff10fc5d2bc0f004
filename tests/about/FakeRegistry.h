#pragma once

#include <QHash>
#include <QStringList>

#include "platform/Registry.h"

// Keys and values held in memory; every call is written to a log so tests can
// check what was asked and in which order.
class FakeRegistry : public Registry
{
public:
    struct Value
    {
        quint32 type = Sz;
        QByteArray bytes;
    };

    QHash<QString, QHash<QString, Value>> keys; // by key path, then value name
    QStringList log;

    void set(const QString &keyPath, const QString &name, quint32 type, const QByteArray &bytes)
    {
        keys[keyPath][name] = {type, bytes};
    }

    qint32 openKey(Key root, const QString &subKey, quint32 options, quint32 access,
                   Key &result) override
    {
        log << QStringLiteral("open %1 %2 %3 %4")
                   .arg(root, 0, 16)
                   .arg(subKey)
                   .arg(options)
                   .arg(access, 0, 16);
        if (root != LocalMachine || !keys.contains(subKey)) {
            result = 0;
            return FileNotFound;
        }
        result = Key(m_open.size() + 100);
        m_open.append(subKey);
        return Success;
    }

    qint32 queryValue(Key key, const QString &valueName, quint32 &type, QByteArray &data,
                      quint32 &size) override
    {
        log << QStringLiteral("query %1 %2 %3%4")
                   .arg(key)
                   .arg(valueName)
                   .arg(size)
                   .arg(data.count('\0') == data.size() ? QString() : QStringLiteral(" dirty"));
        const qsizetype index = qsizetype(key) - 100;
        if (index < 0 || index >= m_open.size())
            return InvalidHandle;
        const auto values = keys.value(m_open.at(index));
        if (!values.contains(valueName))
            return FileNotFound;
        const Value v = values.value(valueName);
        type = v.type;
        if (quint32(v.bytes.size()) > size || v.bytes.size() > data.size()) {
            size = quint32(v.bytes.size());
            return MoreData;
        }
        data.replace(0, v.bytes.size(), v.bytes);
        size = quint32(v.bytes.size());
        return Success;
    }

    qint32 closeKey(Key key) override
    {
        log << QStringLiteral("close %1").arg(key);
        return key ? Success : InvalidHandle;
    }

private:
    QStringList m_open;
};
