#include "tool/ContactsTool.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include "contacts/ContactExport.h"
#include "contacts/ContactImport.h"
#include "contacts/ExportFile.h"
#include "contacts/FieldText.h"
#include "contacts/InputBuffer.h"
#include "contacts/InputFile.h"
#include "contacts/RecordBuilder.h"
#include "HalvexInfo.h"
#include "store/ContactStore.h"
#include "store/DataLocation.h"
#include "tool/DuplicatesCommand.h"
#include "tool/ListLine.h"
#include "tool/ToolHelp.h"
#include "tool/ToolOutput.h"

using ToolOutput::say;
using ToolOutput::writeAll;

namespace {

const QStringList kCommands = {QStringLiteral("export"), QStringLiteral("import"),
                               QStringLiteral("list"), QStringLiteral("check"),
                               QStringLiteral("duplicates")};

const QCommandLineOption
    kData(QStringLiteral("data"),
          QStringLiteral("پوشه‌ای که فایل داده quorvel.dat را دارد."),
          QStringLiteral("DIR"));
const QCommandLineOption kExportFormat(
    QStringLiteral("format"),
    QStringLiteral(
        "vcard (vCard 4.0)، vcard3 (vCard 3.0 برای گوشی‌های قدیمی) یا csv. "
        "پیش‌فرض: vcard."),
    QStringLiteral("FORMAT"), QStringLiteral("vcard"));
const QCommandLineOption kImportFormat(
    QStringLiteral("format"),
    QStringLiteral("auto (از روی محتوا)، vcard یا csv. پیش‌فرض: auto."),
    QStringLiteral("FORMAT"), QStringLiteral("auto"));
const QCommandLineOption kAnyFormat(QStringLiteral("format"),
                                    QStringLiteral("قالب فایل؛ راهنمای هر فرمان را ببینید."),
                                    QStringLiteral("FORMAT"));
const QCommandLineOption kOutput(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                 QStringLiteral("در FILE بنویس، نه در خروجی استاندارد."),
                                 QStringLiteral("FILE"));
// The letter itself is named here: the Arabic yeh as stored, the Persian one written.
const QCommandLineOption kArabicLetters(
    QStringLiteral("arabic-letters"),
    QStringLiteral(
        "ي را همان‌طور که ذخیره شده بنویس؛ بدون آن هر ي به صورت ی فارسی نوشته "
        "می‌شود."));
const QCommandLineOption kDryRun(QStringLiteral("dry-run"),
                                 QStringLiteral("همان گزارش را بده ولی چیزی ننویس."));
const QCommandLineOption kAddDuplicates(
    QStringLiteral("add-duplicates"),
    QStringLiteral(
        "مخاطب‌های تکراری را هم بیفزا؛ بدون آن، مخاطبی که دفتر تلفن دارد (یا "
        "پیش‌تر در همین فایل‌ها آمده) افزوده نمی‌شود."));
const QCommandLineOption kMerge(
    QStringLiteral("merge"),
    QStringLiteral(
        "هر گروه بی‌تعارض را در رکورد اول آن ادغام کن؛ گروه‌های دارای تعارض "
        "دست نمی‌خورند."));

void configure(QCommandLineParser &parser, const QString &command)
{
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(kData);
    if (command == QLatin1String("export")) {
        parser.addOption(kExportFormat);
        parser.addOption(kOutput);
        parser.addOption(kArabicLetters);
    } else if (command == QLatin1String("import")) {
        parser.addOption(kImportFormat);
        parser.addOption(kAddDuplicates);
        parser.addOption(kDryRun);
    } else if (command == QLatin1String("duplicates")) {
        parser.addOption(kMerge);
        parser.addOption(kDryRun);
    } else if (command.isEmpty()) {
        // Every option, to find the command before its own parser checks them.
        parser.addOption(kAnyFormat);
        parser.addOption(kOutput);
        parser.addOption(kArabicLetters);
        parser.addOption(kAddDuplicates);
        parser.addOption(kMerge);
        parser.addOption(kDryRun);
    }
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("export، import، list، check، duplicates یا sync."),
                                 command.isEmpty() ? QStringLiteral("command") : command);
    if (command == QLatin1String("import"))
        parser.addPositionalArgument(QStringLiteral("FILE"),
                                     QStringLiteral("فایل vCard یا CSV؛ - ورودی استاندارد است."),
                                     QStringLiteral("FILE..."));
}

} // namespace

ContactsTool::ContactsTool(QString programDir, QIODevice &out, QIODevice &err, QIODevice *in,
                           StoreIo *io)
    : m_programDir(std::move(programDir)), m_out(out), m_err(err), m_in(in), m_io(io)
{
}

int ContactsTool::usageError(const QString &message)
{
    say(m_err, QStringLiteral("halvex-contacts: %1").arg(message));
    say(m_err, QStringLiteral("راهنما: halvex-contacts --help"));
    return Usage;
}

QString ContactsTool::defaultDataFolder() const
{
    return ContactStore(DataLocation::baseFolder(m_programDir)).dataDir();
}

ContactStore ContactsTool::storeFor(const QCommandLineParser &parser, bool forWriting) const
{
    if (parser.isSet(kData))
        return ContactStore::atDataFolder(QFileInfo(parser.value(kData)).absoluteFilePath(), m_io);
    const QString base = DataLocation::baseFolder(m_programDir);
    if (forWriting)
        DataLocation::prepare(base); // the store names the folder if this failed
    return ContactStore(base, m_io);
}

bool ContactsTool::parse(QCommandLineParser &parser, const QStringList &arguments)
{
    if (parser.parse(arguments))
        return true;
    if (!m_qtWords)
        return false;
    // Again, so the error is in the words just loaded.
    std::exchange(m_qtWords, nullptr)();
    return parser.parse(arguments);
}

int ContactsTool::run(const QStringList &arguments)
{
    // Only the help shows the default data folder; parsing needs no description.
    QCommandLineParser all;
    configure(all, {});
    if (!parse(all, arguments))
        return usageError(all.errorText());
    const QString command = all.positionalArguments().value(0);
    const bool known = kCommands.contains(command);

    if (all.isSet(QStringLiteral("help"))) {
        if (m_qtWords)
            std::exchange(m_qtWords, nullptr)();
        QCommandLineParser help;
        const QString topic = known ? command : QString();
        configure(help, topic);
        help.setApplicationDescription(ToolHelp::description(topic, defaultDataFolder()));
        // Qt names the program by its full path; the usage line reads better without it.
        QString text = help.helpText();
        const QString self = QCoreApplication::arguments().value(0);
        if (const qsizetype at = self.isEmpty() ? -1 : text.indexOf(self); at >= 0 && at < 80)
            text.replace(at, self.size(), QStringLiteral("halvex-contacts"));
        writeAll(m_out, text.toUtf8());
        return Success;
    }
    if (all.isSet(QStringLiteral("version"))) {
        say(m_out, QStringLiteral("halvex-contacts %1").arg(QLatin1String(HalvexInfo::Version)));
        return Success;
    }
    if (command.isEmpty())
        return usageError(
            QStringLiteral("فرمان را بدهید: export، import، list، check، duplicates یا sync."));
    if (!known)
        return usageError(QStringLiteral("فرمان «%1» شناخته نیست؛ export، import، list، check، "
                                         "duplicates یا sync را بدهید.")
                              .arg(command));

    QCommandLineParser parser;
    configure(parser, command);
    if (!parse(parser, arguments))
        return usageError(QStringLiteral("%1 (براي فرمان %2)").arg(parser.errorText(), command));
    if (parser.isSet(kData) && parser.value(kData).isEmpty())
        return usageError(QStringLiteral("--data يک پوشه مي خواهد."));
    const QStringList rest = parser.positionalArguments().mid(1);
    if (command != QLatin1String("import") && !rest.isEmpty())
        return usageError(
            QStringLiteral("فرمان %1 آرگومان «%2» را نمي پذيرد.").arg(command, rest.first()));

    if (command == QLatin1String("export"))
        return exportContacts(parser);
    if (command == QLatin1String("import"))
        return importContacts(parser);
    if (command == QLatin1String("list"))
        return listContacts(parser);
    if (command == QLatin1String("duplicates"))
        return duplicateContacts(parser);
    return checkContacts(parser);
}

bool ContactsTool::readableData(const ContactStore &store, qint64 &size)
{
    // Through the store, which brings back a whole left-over first.
    const StoreError e = store.DataFileSize(size);
    if (e.kind() == StoreError::FileNotFound || e.kind() == StoreError::PathNotFound) {
        say(m_err, QStringLiteral("فايل داده پيدا نشد: %1\nبا --data پوشه اي را بدهيد که "
                                  "quorvel.dat را دارد.")
                       .arg(store.dataFilePath()));
        return false;
    }
    if (e) {
        say(m_err, e.message());
        return false;
    }
    return true;
}

int ContactsTool::exportContacts(const QCommandLineParser &parser)
{
    const QString format = parser.value(kExportFormat).toLower();
    if (format != QLatin1String("vcard") && format != QLatin1String("vcard3") &&
        format != QLatin1String("csv"))
        return usageError(
            QStringLiteral("قالب «%1» شناخته نيست؛ vcard، vcard3 يا csv.").arg(format));
    const ContactStore store = storeFor(parser, false);
    qint64 size = 0;
    if (!readableData(store, size))
        return Failure;

    const ContactExport::Format f = format == QLatin1String("csv")      ? ContactExport::Csv
                                    : format == QLatin1String("vcard3") ? ContactExport::Vcard3
                                                                        : ContactExport::Vcard4;
    const FieldText::Yeh yeh =
        parser.isSet(kArabicLetters) ? FieldText::Yeh::AsStored : FieldText::Yeh::Persian;
    QList<ExportWarning> warnings;

    // Into standard output or a device or pipe as it is; a file is replaced
    // only once the new one is whole.
    const QString target = parser.value(kOutput);
    const QFileInfo info(target);
    QFile device;
    QIODevice *destination = &m_out;
    const auto cannotWrite = [&](const QString &why) {
        say(m_err,
            QStringLiteral("نوشتن %1 ناموفق بود: %2")
                .arg(destination == &m_out ? QStringLiteral("در خروجي استاندارد") : target, why));
        return Failure;
    };
    if (!target.isEmpty() && target != QLatin1String("-")) {
        if (!info.exists() || info.isFile()) {
            destination = nullptr;
            QString why;
            switch (ExportFile::write(store, f, target, warnings, why, yeh)) {
            case ExportFile::StoreFailed:
                say(m_err, why);
                return Failure;
            case ExportFile::WriteFailed:
                return cannotWrite(why);
            case ExportFile::Written:
            case ExportFile::Stopped:
                break;
            }
        } else {
            device.setFileName(target);
            destination = &device;
            if (!device.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
                return cannotWrite(device.errorString());
        }
    }
    if (destination) {
        bool sinkFailed = false;
        const StoreError e = ContactExport::run(
            store, f, [&](QByteArrayView piece) { return writeAll(*destination, piece); }, warnings,
            sinkFailed, yeh);
        if (e) {
            say(m_err, e.message());
            return Failure;
        }
        if (sinkFailed)
            return cannotWrite(destination->errorString());
    }

    // FN and N both hold the name: say each character once.
    std::set<std::tuple<qint64, int, uchar>> said;
    for (const ExportWarning &w : std::as_const(warnings))
        if (said.insert({w.record, int(w.field), w.byte}).second)
            say(m_err, QStringLiteral("رکورد %1، %2: نويسه کنترلي 0x%3 در اين قالب نوشته نمي شود؛ "
                                      "به جاي آن U+FFFD نوشته شد.")
                           .arg(w.record)
                           .arg(RecordBuilder::caption(w.field))
                           .arg(uint(w.byte), 2, 16, QLatin1Char('0')));
    if (size % ContactRecord::Size != 0)
        say(m_err, QStringLiteral("%1 بايت انتهاي فايل داده رکورد کاملي نيست و بيرون برده نشد.")
                       .arg(size % ContactRecord::Size));
    return Success;
}

int ContactsTool::importContacts(const QCommandLineParser &parser)
{
    const QString format = parser.value(kImportFormat).toLower();
    ContactImport::Format f = ContactImport::Auto;
    if (format == QLatin1String("vcard"))
        f = ContactImport::Vcard;
    else if (format == QLatin1String("csv"))
        f = ContactImport::Csv;
    else if (format != QLatin1String("auto"))
        return usageError(QStringLiteral("قالب «%1» شناخته نيست؛ auto، vcard يا csv.").arg(format));
    const QStringList files = parser.positionalArguments().mid(1);
    if (files.isEmpty())
        return usageError(QStringLiteral("فايلي براي افزودن نداده ايد: import FILE..."));

    std::vector<std::unique_ptr<InputBuffer>> buffers; // kept until the import is done
    QList<ImportSource> sources;
    for (const QString &name : files) {
        ImportSource s{name, {}};
        QString why;
        bool read = false;
        if (name == QLatin1String("-")) {
            if (!m_in) {
                say(m_err, QStringLiteral("ورودي استاندارد در دسترس نيست."));
                return Failure;
            }
            s.name = QStringLiteral("<stdin>");
            read = InputFile::readAtMost(*m_in, s.bytes, why);
        } else {
            // Read, not mapped: a file that another program shortens meanwhile
            // must give a message, not a bus error.
            std::unique_ptr<InputBuffer> buffer;
            read = InputFile::read(name, s.bytes, buffer, why);
            if (buffer)
                buffers.push_back(std::move(buffer));
        }
        if (!read) {
            say(m_err, QStringLiteral("%1: خوانده نشد: %2").arg(s.name, why));
            say(m_err, QStringLiteral("هيچ مخاطبي افزوده نشد؛ فايل داده دست نخورد."));
            return Failure;
        }
        sources.append(std::move(s));
    }

    const bool dryRun = parser.isSet(kDryRun);
    ContactStore store = storeFor(parser, !dryRun);
    ContactImport job(
        store, [this](const QString &line) { say(m_err, line); },
        [this](const QString &line) { say(m_out, line); });
    job.setAddDuplicates(parser.isSet(kAddDuplicates));
    return job.run(sources, f, dryRun);
}

int ContactsTool::listContacts(const QCommandLineParser &parser)
{
    const ContactStore store = storeFor(parser, false);
    qint64 size = 0;
    if (!readableData(store, size))
        return Failure;
    QByteArray out;
    out.reserve(qsizetype(size / ContactRecord::Size) * 80);
    const StoreError e = store.ReadAllRecords([&out](const ContactRecord &r, qint64 n) {
        ListLine::append(out, r, n);
        return true;
    });
    if (e) {
        say(m_err, e.message());
        return Failure;
    }
    if (!writeAll(m_out, out)) {
        say(m_err,
            QStringLiteral("نوشتن در خروجي استاندارد ناموفق بود: %1").arg(m_out.errorString()));
        return Failure;
    }
    return Success;
}

int ContactsTool::duplicateContacts(const QCommandLineParser &parser)
{
    const bool merge = parser.isSet(kMerge);
    const bool dryRun = parser.isSet(kDryRun);
    ContactStore store = storeFor(parser, merge && !dryRun);
    qint64 size = 0;
    if (!readableData(store, size))
        return Failure;
    return DuplicatesCommand(m_out, m_err).run(store, size, merge, dryRun);
}

int ContactsTool::checkContacts(const QCommandLineParser &parser)
{
    const ContactStore store = storeFor(parser, false);
    qint64 size = 0;
    if (!readableData(store, size))
        return Failure;
    // Every record is read, so an unreadable block counts as unsound too.
    qint64 read = 0;
    if (StoreError e = store.ReadAllRecords([&read](const ContactRecord &, qint64) {
            ++read;
            return true;
        })) {
        say(m_err, e.message());
        say(m_out, QStringLiteral("فايل داده سالم نيست: خوانده نشد."));
        return Failure;
    }
    const qint64 whole = size / ContactRecord::Size;
    const qint64 tail = size % ContactRecord::Size;
    say(m_out, QStringLiteral("فايل داده: %1").arg(store.dataFilePath()));
    say(m_out, QStringLiteral("رکوردها: %1 (%2 بايت)").arg(whole).arg(size));
    bool sound = read == whole;
    if (tail != 0) {
        sound = false;
        say(m_out, QStringLiteral("رکورد نيمه کاره: %1 بايت در انتهاي فايل، از بايت %2. برنامه آن "
                                  "را ناديده مي گيرد و افزودن بعدي جاي آن مي نويسد.")
                       .arg(tail)
                       .arg(whole * ContactRecord::Size));
    }
    if (whole > ContactStore::MaxRecords) {
        sound = false;
        say(m_out, QStringLiteral("بيش از %1 رکورد: برنامه نمي تواند اين فايل را بشمارد.")
                       .arg(ContactStore::MaxRecords));
    }
    if (const auto left = store.leftover())
        say(m_out, QStringLiteral("فايل %1 (%2 بايت) از حذفي که تمام نشده مانده است؛ برنامه در "
                                  "شروع بعدي آن را به کار نمي برد مگر فايل داده نباشد.")
                       .arg(left->name)
                       .arg(left->size));
    say(m_out, sound ? QStringLiteral("سالم است.") : QStringLiteral("سالم نيست."));
    return sound ? Success : Failure;
}
