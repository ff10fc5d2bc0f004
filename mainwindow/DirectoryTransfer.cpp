#include "mainwindow/DirectoryTransfer.h"

#include <memory>
#include <vector>

#include <QDir>
#include <QFileInfo>
#include <QMimeData>

#include "contacts/ExportFile.h"
#include "contacts/InputBuffer.h"
#include "contacts/InputFile.h"
#include "mainwindow/BackgroundWork.h"
#include "mainwindow/FrmMainServices.h"
#include "mainwindow/ImportDialog.h"
#include "mainwindow/LastFolder.h"
#include "mainwindow/WindowTitle.h"
#include "platform/FileDialogs.h"
#include "platform/ModalBoxes.h"
#include "store/ContactStore.h"

namespace {

const QStringList kExportFilters = {QStringLiteral("vCard 4.0 (*.vcf *.vcard)"),
                                    QStringLiteral("vCard 3.0 (*.vcf *.vcard)"),
                                    QStringLiteral("CSV (*.csv)")};
const ContactExport::Format kExportFormats[] = {ContactExport::Vcard4, ContactExport::Vcard3,
                                                ContactExport::Csv};

bool importable(const QString &file)
{
    const QString suffix = QFileInfo(file).suffix().toLower();
    return suffix == QLatin1String("vcf") || suffix == QLatin1String("vcard") ||
           suffix == QLatin1String("csv");
}

} // namespace

DirectoryTransfer::DirectoryTransfer(const FrmMainServices &services, LastFolder &folder,
                                     Imported imported, QWidget *window)
    : QObject(window), m_store(services.store), m_boxes(services.boxes),
      m_fileDialogs(services.fileDialogs), m_imported(std::move(imported)), m_window(window),
      m_folder(folder)
{
}

void DirectoryTransfer::chooseAndImport()
{
    const QStringList files =
        m_fileDialogs.openFiles(m_window, QStringLiteral("وارد کردن از فايل"), m_folder.path(),
                                QStringLiteral("vCard و CSV (*.vcf *.vcard *.csv);;vCard (*.vcf "
                                               "*.vcard);;CSV (*.csv)"));
    if (!files.isEmpty())
        importFiles(files);
}

void DirectoryTransfer::fail(const QString &text)
{
    m_boxes.critical(m_window, text, kTitle);
}

bool DirectoryTransfer::bringsFiles(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return false;
    for (const QUrl &url : data->urls())
        if (url.isLocalFile())
            return true;
    return false;
}

void DirectoryTransfer::drop(const QList<QUrl> &urls)
{
    QStringList files;
    QStringList refused;
    for (const QUrl &url : urls) {
        const QString file = url.isLocalFile() ? url.toLocalFile() : QString();
        if (!file.isEmpty() && importable(file) && !QFileInfo(file).isDir())
            files << file;
        else
            refused << (file.isEmpty() ? url.toDisplayString() : QFileInfo(file).fileName());
    }
    if (!refused.isEmpty())
        fail(QStringLiteral("فقط فايلهاي vCard (.vcf يا .vcard) و CSV (.csv) وارد مي شوند. اينها "
                            "وارد نشدند:\n%1")
                 .arg(refused.join(u'\n')));
    if (!files.isEmpty())
        importFiles(files);
}

DirectoryTransfer::Prepared DirectoryTransfer::prepareImport(const QStringList &files,
                                                             bool addDuplicates)
{
    Prepared prepared;
    const bool finished = BackgroundWork::run(
        m_window, QStringLiteral("خواندن فايلها..."), [&](BackgroundWork::Control &control) {
            std::vector<std::unique_ptr<InputBuffer>> buffers;
            QList<ImportSource> sources;
            for (const QString &file : files) {
                ImportSource source{QFileInfo(file).fileName(), {}};
                std::unique_ptr<InputBuffer> buffer;
                QString why;
                if (!InputFile::read(file, source.bytes, buffer, why)) {
                    prepared.report << QStringLiteral("%1: خوانده نشد: %2").arg(source.name, why);
                    return;
                }
                if (buffer)
                    buffers.push_back(std::move(buffer));
                sources << source;
                if (control.stop)
                    return;
            }
            ContactImport job(
                m_store, [&](const QString &line) { prepared.report << line; },
                [](const QString &) {});
            job.setAddDuplicates(addDuplicates);
            prepared.ok = job.prepare(sources, ContactImport::Auto, prepared.plan, &control.stop);
        });
    prepared.stopped = !finished;
    if (prepared.stopped)
        prepared.ok = false;
    return prepared;
}

bool DirectoryTransfer::commitImport(const Prepared &prepared)
{
    QStringList report;
    int status = 1;
    BackgroundWork::run(
        m_window, QStringLiteral("نوشتن در دفترچه..."),
        [&](BackgroundWork::Control &) {
            ContactImport job(
                m_store, [&](const QString &line) { report << line; }, [](const QString &) {});
            status = job.commit(prepared.plan);
        },
        /*canStop=*/false);
    qint64 after = 0;
    const bool counted = m_store.CountWholeRecords(after).ok();
    if (status != 0) {
        fail(QStringLiteral("وارد کردن انجام نشد.\n") + report.join(u'\n'));
        // A write that took effect but could not be confirmed still shows.
        if (counted)
            m_imported(after);
        return false;
    }
    m_imported(counted ? after : prepared.plan.total());
    return true;
}

void DirectoryTransfer::importFiles(const QStringList &files)
{
    m_folder.remember(files.constFirst());
    // False when there is nothing to go on with: stopped, or failed and said so.
    const auto usable = [this](const Prepared &p) {
        if (!p.stopped && !p.ok)
            fail(QStringLiteral("وارد کردن انجام نشد؛ چيزي نوشته نشد.\n") + p.report.join(u'\n'));
        return !p.stopped && p.ok;
    };
    Prepared prepared = prepareImport(files);
    if (!usable(prepared))
        return;
    if (prepared.plan.records.empty() && prepared.plan.duplicatesLeftOut == 0) {
        m_boxes.message(m_window, QStringLiteral("مخاطبي در اين فايلها نبود؛ چيزي نوشته نشد."),
                        kTitle, ModalBoxes::Information, ModalBoxes::Ok, ModalBoxes::AnswerOk);
        return;
    }
    ImportDialog dialog(prepared.plan, prepared.report, m_window);
    if (m_boxes.exec(dialog) != QDialog::Accepted)
        return;
    if (dialog.addsDuplicates()) {
        // Read again with the duplicates kept, so they are numbered in order.
        prepared = prepareImport(files, true);
        if (!usable(prepared))
            return;
    }
    if (!prepared.plan.records.empty())
        commitImport(prepared);
}

void DirectoryTransfer::exportAll()
{
    const auto saved =
        m_fileDialogs.saveFile(m_window, QStringLiteral("ذخيره همه در فايل"),
                               m_folder.file(QStringLiteral("halvex.vcf")), kExportFilters);
    if (!saved)
        return;
    m_folder.remember(saved->file);
    const ContactExport::Format format =
        kExportFormats[std::clamp(saved->filter, 0, int(std::size(kExportFormats)) - 1)];
    ExportFile::Outcome outcome = ExportFile::Written;
    QList<ExportWarning> warnings;
    QString why;
    BackgroundWork::run(m_window, QStringLiteral("ذخيره در فايل..."),
                        [&](BackgroundWork::Control &control) {
                            outcome = ExportFile::write(m_store, format, saved->file, warnings, why,
                                                        FieldText::Yeh::Persian, &control.stop);
                        });
    switch (outcome) {
    case ExportFile::Written:
        if (!warnings.isEmpty())
            m_boxes.message(m_window,
                            QStringLiteral("ذخيره شد، ولي اين قالب %1 نويسه کنترلي را نمي پذيرد "
                                           "و به جاي هر يک U+FFFD نوشته شد.")
                                .arg(warnings.size()),
                            kTitle, ModalBoxes::Exclamation, ModalBoxes::Ok, ModalBoxes::AnswerOk);
        break;
    case ExportFile::Stopped:
        break;
    case ExportFile::StoreFailed:
        fail(why);
        break;
    case ExportFile::WriteFailed:
        fail(QStringLiteral("ذخيره در «%1» ناموفق بود: %2\nفايل پيشين، اگر بود، دست نخورد.")
                 .arg(QDir::toNativeSeparators(saved->file), why));
        break;
    }
}
