// The printed phone list of a full directory, written to a PDF file. Not in
// CI's bench runs: one iteration takes seconds.
#include <random>
#include <vector>

#include <sys/resource.h>

#include <benchmark/benchmark.h>

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include "mainwindow/PhoneList.h"
#include "platform/Fonts.h"
#include "store/ContactRecord.h"

namespace {

constexpr int kRecords = 32767;

// Names and places as people type them, in the file's Arabic yeh.
const char16_t *const kNames[] = {
    u"محمد",   u"علي",    u"حسين",    u"رضا",    u"مهدي",    u"امير",      u"حسن",
    u"مريم",   u"فاطمه",  u"زهرا",    u"سارا",   u"نرگس",    u"ليلا",      u"مينا",
    u"پريسا",  u"نازنين", u"محمدرضا", u"سعيد",   u"مجيد",    u"حميد",      u"بهروز",
    u"فرشته",  u"شيما",   u"الهام",   u"نيلوفر", u"کوروش",   u"داريوش",    u"آرش",
    u"بابک",   u"سيما",   u"ژاله",    u"پروين",  u"سيد علي", u"محمد حسين", u"امير‌حسين",
    u"عليرضا", u"مرتضي",  u"غلامرضا", u"طاهره",  u"معصومه"};
const char16_t *const kFamilies[] = {
    u"احمدي",    u"محمدي",   u"حسيني",        u"رضايي",           u"کريمي",
    u"موسوي",    u"جعفري",   u"صادقي",        u"رحيمي",           u"قاسمي",
    u"نوري",     u"کاظمي",   u"هاشمي",        u"عباسي",           u"طاهري",
    u"ابراهيمي", u"شريفي",   u"نجفي",         u"اکبري",           u"سلطاني",
    u"زارعي",    u"فراهاني", u"تهراني",       u"اصفهاني",         u"شيرازي",
    u"قرباني",   u"بهرامي",  u"ميرزايي نژاد", u"امامي کاشاني",    u"خسروشاهي",
    u"پورمحمدي", u"دهقان",   u"يزداني",       u"حق‌شناس", u"نيک‌نام",
    u"آقايي"};
const char16_t *const kCities[] = {u"تهران", u"اصفهان", u"شيراز", u"مشهد",  u"تبريز",
                                   u"کرج",   u"قم",     u"اهواز", u"کرمان", u"رشت"};
const char16_t *const kPlaces[] = {u"خيابان وليعصر",     u"خيابان انقلاب",
                                   u"خيابان آزادي",      u"بلوار کشاورز",
                                   u"ميدان ونک",         u"خيابان شريعتي",
                                   u"بلوار ميرداماد",    u"خيابان فردوسي",
                                   u"خيابان حافظ",       u"ميدان تجريش",
                                   u"کوچه بهار",         u"کوچه لاله",
                                   u"کوچه ياس",          u"بن‌بست نسترن",
                                   u"کوچه شهيد احمدي",   u"نبش کوچه گلستان",
                                   u"خيابان سعدي جنوبي", u"بلوار چمران",
                                   u"خيابان مطهري",      u"کوچه سوم"};

template <size_t N> QString pick(std::mt19937 &rng, const char16_t *const (&list)[N])
{
    return QString::fromUtf16(list[std::uniform_int_distribution<size_t>(0, N - 1)(rng)]);
}

QString digits(std::mt19937 &rng, QString prefix, int length)
{
    while (prefix.size() < length)
        prefix += QChar(u'0' + std::uniform_int_distribution<int>(0, 9)(rng));
    return prefix;
}

// 40 to 100 characters, cut between words.
QString address(std::mt19937 &rng)
{
    const int target = std::uniform_int_distribution<int>(40, 100)(rng);
    QString a = pick(rng, kCities);
    while (a.size() < target) {
        switch (std::uniform_int_distribution<int>(0, 3)(rng)) {
        case 0:
            a += QStringLiteral("، پلاک %1").arg(std::uniform_int_distribution<int>(1, 250)(rng));
            break;
        case 1:
            a += QStringLiteral("، طبقه %1").arg(std::uniform_int_distribution<int>(1, 12)(rng));
            break;
        default:
            a += QStringLiteral("، ") + pick(rng, kPlaces);
        }
    }
    while (a.size() > 100)
        a.truncate(a.lastIndexOf(u' '));
    return a;
}

std::vector<ContactRecord> directory()
{
    std::mt19937 rng(1405);
    std::vector<ContactRecord> records(kRecords);
    for (int i = 0; i < kRecords; ++i) {
        ContactRecord &r = records[size_t(i)];
        r.setText(ContactRecord::Name, pick(rng, kNames));
        r.setText(ContactRecord::Family, pick(rng, kFamilies));
        r.setText(ContactRecord::Phone, digits(rng, QStringLiteral("2"), 8));
        r.setText(ContactRecord::Mobile, digits(rng, QStringLiteral("09"), 11));
        r.setText(ContactRecord::Address, address(rng));
        r.setID(qint16(i + 1));
    }
    return records;
}

void BM_PdfDirectory(benchmark::State &state)
{
    const std::vector<ContactRecord> records = directory();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.pdf"));
    int pages = 0;
    for (auto _ : state) {
        PhoneList list(QStringLiteral("امروز ، سه شنبه ، 17 ، آذر 1405"), records);
        QFile file(path);
        QString why;
        if (!list.writePdf(file, {}, why)) {
            state.SkipWithError(why.toStdString().c_str());
            return;
        }
        file.close();
        pages = list.pageCount();
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["pages"] = pages;
    state.counters["pdf_MB"] = double(QFileInfo(path).size()) / 1e6;
    state.counters["maxrss_MB"] = double(usage.ru_maxrss) / 1024;
}

} // namespace

BENCHMARK(BM_PdfDirectory)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    Fonts::install();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
