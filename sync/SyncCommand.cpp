#include "sync/SyncCommand.h"

#include <unistd.h>

#include <QCommandLineParser>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QTextStream>

#include "store/ContactStore.h"
#include "store/DataLocation.h"
#include "sync/AddressBookFinder.h"
#include "sync/BookCreator.h"
#include "sync/Credentials.h"
#include "sync/DavClient.h"
#include "sync/Keyring.h"
#include "sync/SyncAccount.h"
#include "sync/SyncEngine.h"
#include "sync/TerminalText.h"

namespace {

enum Status : int
{
    Success = 0,
    Failure = 1,
    Usage = 2
};

const QCommandLineOption kData(QStringLiteral("data"),
                               QStringLiteral("پوشه اي که فايل داده quorvel.dat را دارد."),
                               QStringLiteral("DIR"));
const QCommandLineOption kUser(QStringLiteral("user"), QStringLiteral("نام کاربر در سرور."),
                               QStringLiteral("NAME"));
const QCommandLineOption
    kPasswordFile(QStringLiteral("password-file"),
                  QStringLiteral("رمز در سطر اول اين فايل است؛ فايل را فقط خودتان بايد بتوانيد "
                                 "بخوانيد (chmod 600)."),
                  QStringLiteral("FILE"));
const QCommandLineOption kCaFile(QStringLiteral("ca-file"),
                                 QStringLiteral("گواهي (PEM) ديگري که براي HTTPS پذيرفته شود، "
                                                "مثلا گواهي خودامضاي سرور خودتان."),
                                 QStringLiteral("FILE"));
const QCommandLineOption kDryRun(QStringLiteral("dry-run"),
                                 QStringLiteral("بگو چه مي شد ولي در هيچ سو چيزي ننويس."));
// clang-format off
const QCommandLineOption kForceDelete(
    QStringLiteral("force-delete"),
    QStringLiteral("حتی اگر یک سو خالی یا عوض شده باشد، همه مخاطبهای جفت‌شده را از سوی دیگر هم حذف کن."));
// clang-format on
const QCommandLineOption kRemember(
    QStringLiteral("remember"),
    QStringLiteral(
        "نشانی، نام کاربر و گواهی را حساب همگام‌سازی "
        "کن و رمز را در جاکلیدی میزکار نگه دار تا "
        "دفعهٔ بعد بی نشانی و بی رمز همگام شود."));
const QCommandLineOption kCreate(
    QStringLiteral("create"),
    QStringLiteral(
        "اگر حساب دفترچه نشانی ندارد، دفترچه‌ای به نام "
        "Halvex بساز."));

const QString kDescription = QStringLiteral(
    "مخاطبهاي فايل داده را با يک دفترچه نشاني CardDAV (مانند Radicale، Nextcloud، Baïkal) "
    "در هر دو سو همگام مي کند. URL نشاني دفترچه است يا نشاني سرور، که دفترچه هاي شما از آن "
    "پيدا مي شود.\n"
    "رمز از --password-file، از جاکليدي (پس از يک بار --remember) يا از پرسش در پايانه (بدون "
    "نمايش) مي آيد، هرگز از خط فرمان. رمز جز به HTTPS يا به همين رايانه (127.0.0.1) فرستاده "
    "نمي شود.\n"
    "اگر مخاطبي در هر دو سو تغيير کرده باشد، نسخه سرور در رکورد مي ماند و نسخه اينجا رکورد و "
    "کارت تازه اي مي شود؛ اگر در يک سو حذف و در سوي ديگر تغيير کرده باشد، تغيير مي ماند.\n"
    // clang-format off
    "اگر هیچ مخاطب جفت‌شده‌ای در یک سو نمانده باشد (خالی یا عوض شده باشد)، چیزی در سوی دیگر "
    "حذف نمی‌شود مگر با --force-delete.\n"
    // clang-format on
    "وضعيت خروج: 0 موفق، 1 ناموفق، 2 فرمان نادرست.");

} // namespace

SyncCommand::SyncCommand(QString programDir, QIODevice &out, QIODevice &err)
    : m_programDir(std::move(programDir)), m_out(out), m_err(err)
{
}

void SyncCommand::say(QIODevice &device, const QString &line)
{
    device.write(TerminalText::clean(line, TerminalText::Kept).toUtf8() + '\n');
}

int SyncCommand::usage(const QString &message)
{
    say(m_err, QStringLiteral("halvex-contacts sync: %1").arg(message));
    say(m_err, QStringLiteral("راهنما: halvex-contacts sync --help"));
    return Usage;
}

int SyncCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    Settings settings;
    if (const std::optional<int> status = parse(parser, arguments, settings))
        return *status;
    DavClient client;
    if (const std::optional<int> status = login(parser, client, settings))
        return *status;
    AddressBook book;
    if (const std::optional<int> status = chooseBook(client, settings, parser.isSet(kCreate), book))
        return *status;

    const bool dryRun = parser.isSet(kDryRun);
    ContactStore store =
        parser.isSet(kData)
            ? ContactStore::atDataFolder(QFileInfo(parser.value(kData)).absoluteFilePath())
            : ContactStore(DataLocation::baseFolder(m_programDir));
    if (!dryRun) {
        if (!parser.isSet(kData))
            DataLocation::prepare(DataLocation::baseFolder(m_programDir));
        if (StoreError e = store.Open()) {
            say(m_err, e.message());
            return Failure;
        }
    }
    SyncEngine engine(store, client, book.url, book.cardVersion());
    engine.setDryRun(dryRun);
    engine.setForceDelete(parser.isSet(kForceDelete));
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    if (terminal)
        engine.setProgress([](const QString &what) {
            std::fputs(("\r\033[K" + what).toUtf8().constData(), stderr);
            std::fflush(stderr);
        });
    SyncReport report;
    QString why;
    const bool ok = engine.run(report, why);
    if (terminal)
        std::fputs("\r\033[K", stderr);
    const int status = tell(report, ok ? QString() : why, dryRun, book);
    if (!dryRun && settings.remember)
        keep(settings, book, report, ok ? QString() : why);
    if (status == Success && !dryRun && parser.isSet(kRemember) && !settings.user.isEmpty() &&
        !settings.fromKeyring &&
        !Keyring::write(settings.user, settings.url, settings.password, why))
        say(m_err, QStringLiteral("رمز در جاکليدي نگه داشته نشد (جاکليدي ميزکار در دسترس است؟): %1")
                       .arg(why));
    return status;
}

void SyncCommand::keep(const Settings &settings, const AddressBook &book, const SyncReport &report,
                       const QString &failure)
{
    SyncAccount account;
    QString why;
    const QString path = SyncAccount::defaultPath();
    if (!account.load(path, why)) {
        say(m_err, why);
        return;
    }
    // The book itself, so that the next run goes straight to it.
    account.url = book.url;
    account.user = settings.user;
    account.certificate = settings.certificate;
    account.record(report, failure, QDateTime::currentDateTime());
    if (!account.save(path, why))
        say(m_err, why);
}

std::optional<int> SyncCommand::parse(QCommandLineParser &parser, const QStringList &arguments,
                                      Settings &settings)
{
    parser.setApplicationDescription(kDescription);
    parser.addHelpOption();
    for (const QCommandLineOption &o :
         {kData, kUser, kPasswordFile, kCaFile, kDryRun, kForceDelete, kRemember, kCreate})
        parser.addOption(o);
    parser.addPositionalArgument(QStringLiteral("sync"), QStringLiteral("فرمان همگام سازي."));
    parser.addPositionalArgument(
        QStringLiteral("[URL]"),
        QStringLiteral("نشاني دفترچه نشاني يا سرور CardDAV؛ بی آن، "
                       "حساب نگه‌داشته (از پنجره یا --remember)."));
    if (!parser.parse(arguments))
        return usage(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        // The usage line reads better without the program's full path.
        QString text = parser.helpText();
        const QString self = arguments.value(0);
        if (const qsizetype at = self.isEmpty() ? -1 : text.indexOf(self); at >= 0 && at < 80)
            text.replace(at, self.size(), QStringLiteral("halvex-contacts"));
        m_out.write(text.toUtf8());
        return Success;
    }
    const QStringList rest = parser.positionalArguments().mid(1);
    if (rest.size() > 1)
        return usage(QStringLiteral("فقط يک نشاني: «%1» زيادي است.").arg(rest.value(1)));
    if (rest.isEmpty())
        return saved(parser, settings);
    QUrl &url = settings.url;
    url = QUrl::fromUserInput(rest.front());
    if (!url.isValid() ||
        (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http")))
        return usage(QStringLiteral("«%1» نشاني http يا https نيست.").arg(rest.front()));
    if (!url.password().isEmpty())
        return usage(QStringLiteral("رمز را در نشاني ننويسيد: خط فرمان را ديگران هم مي بينند. "
                                    "--password-file بدهيد يا بگذاريد پرسيده شود."));
    settings.user = parser.isSet(kUser) ? parser.value(kUser) : url.userName();
    settings.remember = parser.isSet(kRemember);
    url.setUserInfo({});
    if (url.path().isEmpty())
        url.setPath(QStringLiteral("/"));
    if (parser.isSet(kData) && parser.value(kData).isEmpty())
        return usage(QStringLiteral("--data يک پوشه مي خواهد."));
    return std::nullopt;
}

std::optional<int> SyncCommand::saved(const QCommandLineParser &parser, Settings &settings)
{
    if (parser.isSet(kData) && parser.value(kData).isEmpty())
        return usage(QStringLiteral("--data يک پوشه مي خواهد."));
    SyncAccount account;
    QString why;
    if (!account.load(SyncAccount::defaultPath(), why)) {
        say(m_err, why);
        return Failure;
    }
    if (account.isSet()) {
        settings.url = account.url;
        settings.user = account.user;
        settings.certificate = account.certificate;
        settings.remember = true; // its outcome is the account's last result
    } else {
        // The timer's environment file, as it was before there were accounts.
        settings.url = QUrl::fromUserInput(qEnvironmentVariable("HALVEX_SYNC_URL"));
        settings.user = qEnvironmentVariable("HALVEX_SYNC_USER");
    }
    if (parser.isSet(kUser))
        settings.user = parser.value(kUser);
    if (!settings.url.isValid() || settings.url.isEmpty())
        return usage(QStringLiteral(
            "نشانی سرور یا دفترچه را بدهید (sync URL)، یا حساب را یک بار "
            "در پنجرهٔ همگام‌سازی یا با --remember نگه دارید."));
    if (settings.url.path().isEmpty())
        settings.url.setPath(QStringLiteral("/"));
    return std::nullopt;
}

std::optional<int> SyncCommand::login(const QCommandLineParser &parser, DavClient &client,
                                      Settings &settings)
{
    QString why;
    if (parser.isSet(kCaFile)) {
        if (!client.addCaFile(parser.value(kCaFile), why)) {
            say(m_err, why);
            return Failure;
        }
        QFile pem(parser.value(kCaFile));
        if (pem.open(QIODevice::ReadOnly))
            settings.certificate = pem.read(64 * 1024);
    } else {
        client.addCaCertificates(QSslCertificate::fromData(settings.certificate, QSsl::Pem));
    }
    // The timer names a password file that may not be there: then the keyring.
    QString passwordFile = parser.value(kPasswordFile);
    if (passwordFile.isEmpty() &&
        QFileInfo::exists(qEnvironmentVariable("HALVEX_SYNC_PASSWORD_FILE")))
        passwordFile = qEnvironmentVariable("HALVEX_SYNC_PASSWORD_FILE");
    const QString &user = settings.user;
    if (!user.isEmpty()) {
        if (!DavClient::safeForPassword(settings.url)) {
            say(m_err, QStringLiteral("رمز از راه HTTP بي رمزنگاري فرستاده نمي شود، جز به همين "
                                      "رايانه: نشاني https بدهيد."));
            return Failure;
        }
        if (!passwordFile.isEmpty()) {
            if (!Credentials::fromFile(passwordFile, settings.password, why)) {
                say(m_err, why);
                return Failure;
            }
        } else if (Keyring::read(user, settings.url, settings.password)) {
            settings.fromKeyring = true;
        } else if (!Credentials::ask(QStringLiteral("رمز %1: ").arg(user), settings.password)) {
            say(m_err, QStringLiteral("رمز لازم است: --password-file بدهيد يا در پايانه اجرا "
                                      "کنيد تا پرسيده شود."));
            return Failure;
        }
    }
    client.setCredentials(user, settings.password);
    return std::nullopt;
}

std::optional<int> SyncCommand::chooseBook(DavTransport &client, const Settings &settings,
                                           bool create, AddressBook &book)
{
    QList<AddressBook> books;
    QString why;
    if (!AddressBookFinder(client).find(settings.url, books, why)) {
        say(m_err, QStringLiteral("همگام سازي نشد: %1").arg(why));
        if (settings.fromKeyring && why.contains(QLatin1String("401")))
            say(m_err, QStringLiteral("رمز جاکليدي پذيرفته نشد؛ با --password-file يا در پايانه "
                                      "رمز تازه را بدهيد."));
        return Failure;
    }
    if (books.isEmpty() && create) {
        if (!BookCreator(client).create(settings.url, QStringLiteral("Halvex"), book, why)) {
            say(m_err, why);
            return Failure;
        }
        say(m_out, QStringLiteral("دفترچه نشانی Halvex ساخته شد: %1")
                       .arg(book.url.toString(QUrl::RemoveUserInfo)));
        return std::nullopt;
    }
    if (books.isEmpty()) {
        say(m_err, QStringLiteral("در %1 دفترچه نشاني اي پيدا نشد.")
                       .arg(settings.url.toString(QUrl::RemoveUserInfo)));
        say(m_err, QStringLiteral("no address book; add --create to make one"));
        return Failure;
    }
    book = books.front();
    if (books.size() == 1)
        return std::nullopt;
    say(m_err, QStringLiteral("%1 دفترچه نشاني پيدا شد:").arg(books.size()));
    for (qsizetype i = 0; i < books.size(); ++i)
        say(m_err, QStringLiteral("  %1. %2  %3")
                       .arg(i + 1)
                       .arg(TerminalText::clean(books[i].name),
                            books[i].url.toString(QUrl::RemoveUserInfo)));
    if (!Credentials::onTerminal())
        return usage(QStringLiteral("نشاني يکي از آنها را بدهيد."));
    std::fputs("کدام؟ ", stderr);
    QTextStream in(stdin);
    const int n = in.readLine().trimmed().toInt();
    if (n < 1 || n > books.size())
        return usage(QStringLiteral("شماره اي از 1 تا %1 بدهيد.").arg(books.size()));
    book = books[n - 1];
    return std::nullopt;
}

int SyncCommand::tell(const SyncReport &report, const QString &failure, bool dryRun,
                      const AddressBook &book)
{
    for (const QString &line : report.skipped + report.losses)
        say(m_err, TerminalText::clean(line));
    for (const QString &line : std::as_const(report.conflicts))
        say(m_out, QStringLiteral("ناسازگاري: %1").arg(TerminalText::clean(line)));
    const QString counts =
        QStringLiteral("به سرور: %1 تازه، %2 تغيير، %3 حذف. از سرور: %4 تازه، %5 تغيير، %6 حذف. "
                       "ناسازگاري: %7.")
            .arg(report.sent)
            .arg(report.changedThere)
            .arg(report.deletedThere)
            .arg(report.received)
            .arg(report.changedHere)
            .arg(report.deletedHere)
            .arg(report.conflicts.size());
    if (!failure.isEmpty()) {
        say(m_err, QStringLiteral("همگام سازي نيمه کاره ماند: %1").arg(failure));
        if (report.sent + report.changedThere + report.deletedThere + report.received +
                report.changedHere + report.deletedHere >
            0)
            say(m_err,
                QStringLiteral("تا اينجا: %1 همگام سازي بعدي کار را تمام مي کند.").arg(counts));
        return Failure;
    }
    if (dryRun) {
        say(m_out, QStringLiteral("آزمايشي، چيزي نوشته نشد. %1").arg(counts));
        return Success;
    }
    say(m_out, QStringLiteral("همگام شد با %1").arg(book.url.toString(QUrl::RemoveUserInfo)));
    say(m_out, counts);
    return Success;
}
