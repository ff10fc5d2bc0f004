#include "tool/DuplicatesCommand.h"

#include <QIODevice>
#include <QString>
#include <QStringList>

#include "contacts/DuplicateGroup.h"
#include "contacts/Duplicates.h"
#include "store/ContactRecord.h"
#include "store/ContactStore.h"
#include "tool/ContactsTool.h"
#include "tool/ListLine.h"
#include "tool/ToolOutput.h"

using ToolOutput::say;

DuplicatesCommand::DuplicatesCommand(QIODevice &out, QIODevice &err) : m_out(out), m_err(err) {}

// The groups on standard output, one record a line, a blank line between
// groups; the ones that cannot be merged named on standard error.
bool DuplicatesCommand::listGroups(const std::vector<ContactRecord> &records,
                                   const std::vector<DuplicateGroup> &groups)
{
    QByteArray out;
    for (const DuplicateGroup &g : groups) {
        if (!out.isEmpty())
            out += '\n';
        for (const qint64 p : g.positions)
            ListLine::append(out, records[size_t(p)], p + 1);
    }
    if (!ToolOutput::writeAll(m_out, out)) {
        say(m_err,
            QStringLiteral("نوشتن در خروجی استاندارد ناموفق بود: %1").arg(m_out.errorString()));
        return false;
    }
    for (const DuplicateGroup &g : groups) {
        if (g.mergeable)
            continue;
        QStringList numbers;
        for (const qint64 p : g.positions)
            numbers << QString::number(p + 1);
        say(m_err, QStringLiteral("رکوردهای %1 مقدارهای ناهمسان دارند و ادغام "
                                  "نمی‌شوند.")
                       .arg(numbers.join(QStringLiteral("، "))));
    }
    return true;
}

int DuplicatesCommand::run(ContactStore &store, qint64 size, bool merge, bool dryRun)
{
    std::vector<ContactRecord> records;
    if (StoreError e = store.ReadAll(records)) {
        say(m_err, e.message());
        return ContactsTool::Failure;
    }
    const std::vector<DuplicateGroup> groups = Duplicates::find(records);
    qint64 mergeable = 0, gone = 0;
    for (const DuplicateGroup &g : groups) {
        if (g.mergeable) {
            ++mergeable;
            gone += qint64(g.positions.size()) - 1;
        }
    }
    if (!listGroups(records, groups))
        return ContactsTool::Failure;
    const qint64 conflicting = qint64(groups.size()) - mergeable;
    say(m_err,
        QStringLiteral(
            "%1 گروه تکراری: %2 گروه ادغام‌پذیر، %3 گروه با مقدارهای "
            "ناهمسان.")
            .arg(groups.size())
            .arg(mergeable)
            .arg(conflicting));
    if (!merge || mergeable == 0)
        return ContactsTool::Success;
    if (dryRun) {
        say(m_err,
            QStringLiteral(
                "آزمایشی: %1 گروه ادغام و %2 رکورد حذف می‌شد؛ چیزی نوشته "
                "نشد.")
                .arg(mergeable)
                .arg(gone));
        return ContactsTool::Success;
    }
    if (size % ContactRecord::Size != 0)
        say(m_err, QStringLiteral("%1 بایت انتهای فایل داده رکورد کاملی نیست و با ادغام کنار "
                                  "گذاشته می‌شود.")
                       .arg(size % ContactRecord::Size));
    if (const StoreError e = Duplicates::merge(store, records, groups)) {
        say(m_err, e.kind() == StoreError::RecordChanged
                       ? QStringLiteral("فایل داده پس از خواندن تغییر کرد؛ چیزی ادغام نشد. "
                                        "دوباره اجرا کنید.")
                       : e.message());
        return ContactsTool::Failure;
    }
    say(m_err, QStringLiteral("%1 گروه ادغام شد و %2 رکورد حذف شد؛ فایل داده اکنون %3 مخاطب "
                              "دارد.")
                   .arg(mergeable)
                   .arg(gone)
                   .arg(qint64(records.size()) - gone));
    return ContactsTool::Success;
}
