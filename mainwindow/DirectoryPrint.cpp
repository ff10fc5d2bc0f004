#include "mainwindow/DirectoryPrint.h"

#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPaintEngine>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSaveFile>

#include "contacts/ExportFile.h"
#include "HalvexInfo.h"
#include "mainwindow/BackgroundWork.h"
#include "mainwindow/PhoneList.h"
#include "platform/FileDialogs.h"
#include "platform/ModalBoxes.h"
#include "platform/TodayDate.h"
#include "store/ContactStore.h"

namespace {

const QString kTitle = QLatin1String(HalvexInfo::Name);

} // namespace

DirectoryPrint::DirectoryPrint(const Services &services, QWidget *window)
    : QObject(window), m_store(services.store), m_boxes(services.boxes),
      m_fileDialogs(services.fileDialogs), m_date(services.date), m_window(window),
      m_folder(QDir::homePath())
{
}

bool DirectoryPrint::readRecords(std::vector<ContactRecord> &records)
{
    const StoreError e = m_store.ReadAllRecords([&records](const ContactRecord &r, qint64) {
        records.push_back(r);
        return true;
    });
    if (e)
        m_boxes.critical(m_window, e.message(), kTitle);
    return !e;
}

bool DirectoryPrint::print(QPrinter &printer)
{
    std::vector<ContactRecord> records;
    if (!readRecords(records))
        return false;
    PhoneList list(PhoneList::dateLine(m_date), records);
    BackgroundWork::Foreground progress(m_window,
                                        QStringLiteral("آماده کردن صفحه‌ها..."));
    return list.paint(
        printer, [&progress](qint64 done, qint64 total) { return progress.step(done, total); });
}

void DirectoryPrint::preview()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
    printer.setDocName(PhoneList::title());
    QPrintPreviewDialog dialog(&printer, m_window);
    dialog.setObjectName(QStringLiteral("preview"));
    dialog.setWindowTitle(QStringLiteral("پيش نمايش چاپ"));
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter *p) { print(*p); });
    dialog.resize(900, 700);
    m_boxes.exec(dialog);
}

void DirectoryPrint::savePdf()
{
    const auto saved = m_fileDialogs.saveFile(m_window, QStringLiteral("ذخيره به صورت PDF"),
                                              QDir(m_folder).filePath(QStringLiteral("halvex.pdf")),
                                              {QStringLiteral("PDF (*.pdf)")});
    if (!saved)
        return;
    m_folder = QFileInfo(saved->file).absolutePath();
    std::vector<ContactRecord> records;
    if (!readRecords(records))
        return;
    PhoneList list(PhoneList::dateLine(m_date), records);
    records.clear();
    QString why;
    bool written = false;
    const bool finished = BackgroundWork::run(
        m_window, QStringLiteral("ذخیره PDF..."), [&](BackgroundWork::Control &control) {
            // Written beside the old file and renamed over it once whole.
            QSaveFile file(saved->file);
            if (!ExportFile::openPrivate(file, why))
                return;
            if (!list.writePdf(
                    file, [&control](qint64 d, qint64 t) { return control.step(d, t); }, why))
                return;
            written = file.commit();
            if (!written)
                why = file.errorString();
        });
    if (finished && !written)
        m_boxes.critical(m_window,
                         QStringLiteral("ذخیره PDF در «%1» ناموفق بود: %2\nفایل پیشین، اگر بود، "
                                        "دست نخورد.")
                             .arg(QDir::toNativeSeparators(saved->file), why),
                         kTitle);
}
