#include "about/frmAbout.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QPointer>
#include <QStandardPaths>
#include <QtEndian>

#include "HalvexInfo.h"
#include "platform/Fonts.h"
#include "platform/Launcher.h"
#include "platform/ModalBoxes.h"
#include "ui_frmAbout.h"

namespace {

const QString kTitle = QLatin1String(HalvexInfo::Name);
const QString kNotice = QStringLiteral(
    "This program is protected by copyright law. Do not copy or sell it without permission.");

const QString kSysInfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString kSysInfoValue = QStringLiteral("PATH");
const QString kSysInfoLocKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString kSysInfoLocValue = QStringLiteral("MSINFO");
const QString kSysInfoExe = QStringLiteral("\\MSINFO32.EXE");

constexpr int kValueBufferSize = 1024;
// Wider than the label, so each part of the credits wraps onto a line of its own.
constexpr int kCreditsGap = 120;

QString creditsText()
{
    const QString gap(kCreditsGap, u' ');
    return kTitle + QStringLiteral(" Project") + gap + QStringLiteral("Created By ") +
           QLatin1String(HalvexInfo::Author) + gap + QLatin1String(HalvexInfo::Url) + gap +
           QLatin1String(HalvexInfo::Mail);
}

} // namespace

frmAbout::frmAbout(Registry &registry, Launcher &launcher, ModalBoxes &boxes, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::frmAbout>()), m_registry(registry),
      m_launcher(launcher), m_boxes(boxes), m_isFile(&frmAbout::isNormalFile),
      m_findProgram([](const QString &name) { return QStandardPaths::findExecutable(name); })
{
    m_ui->setupUi(this);
    Fonts::applyFractionalSizes(this);
    // A tool window keeps out of the task bar. Tool windows do not keep the
    // program alive by default; this one must, as long as it is open.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setAttribute(Qt::WA_QuitOnClose, true);
    setGeometry(QRect(QPoint(156, 129), size()));

    // The largest image, scaled down, looks better than the 48-pixel one scaled up.
    const QIcon icon(QStringLiteral(":/pictures/picIcon.ico"));
    m_ui->picIcon->setPixmap(icon.pixmap(m_ui->picIcon->size()));

    connect(m_ui->cmdOK, &QPushButton::clicked, this, &QWidget::close);
    connect(m_ui->cmdSysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);

    Form_Load();
}

frmAbout::~frmAbout() = default;

frmAbout *frmAbout::showSingle(Registry &registry, Launcher &launcher, ModalBoxes &boxes,
                               const std::function<void()> &beep)
{
    static QPointer<frmAbout> open;
    if (beep)
        beep();
    else
        QApplication::beep();
    // A closed dialog is hidden until its deferred deletion runs.
    if (!open || !open->isVisible()) {
        open = new frmAbout(registry, launcher, boxes);
        open->setAttribute(Qt::WA_DeleteOnClose);
        open->show();
    }
    open->raise();
    open->activateWindow();
    return open;
}

QString frmAbout::title()
{
    return kTitle;
}

QString frmAbout::version()
{
    return QStringLiteral("%1.%2.%3")
        .arg(HalvexInfo::VersionMajor)
        .arg(HalvexInfo::VersionMinor)
        .arg(HalvexInfo::VersionPatch);
}

QStringList frmAbout::sysInfoPrograms()
{
    return {QStringLiteral("hardinfo"),
            QStringLiteral("gnome-system-monitor"),
            QStringLiteral("kinfocenter"),
            QStringLiteral("xfce4-taskmanager"),
            QStringLiteral("mate-system-monitor"),
            QStringLiteral("lxtask")};
}

bool frmAbout::isNormalFile(const QString &path)
{
    return QFileInfo(QDir::fromNativeSeparators(path)).isFile();
}

void frmAbout::setFileCheck(std::function<bool(const QString &)> isFile)
{
    m_isFile = std::move(isFile);
}

void frmAbout::setProgramFinder(std::function<QString(const QString &)> find)
{
    m_findProgram = std::move(find);
}

void frmAbout::Form_Load()
{
    setWindowTitle(QStringLiteral("About ") + kTitle);
    m_ui->lblVersion->setText(QStringLiteral("Version ") + version());
    m_ui->lblTitle->setText(kTitle);
    m_ui->Label1->setText(kNotice);
    m_ui->Label2->setText(creditsText());
}

void frmAbout::keyPressEvent(QKeyEvent *event)
{
    // Escape presses OK rather than rejecting: OK is also the cancel button.
    if (event->matches(QKeySequence::Cancel)) {
        m_ui->cmdOK->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmAbout::StartSysInfo()
{
    QString sysInfoPath;
    const KeyLookup tool =
        GetKeyValue(Registry::LocalMachine, kSysInfoKey, kSysInfoValue, sysInfoPath);
    if (tool == KeyLookup::Unreadable)
        return showUnavailable();
    if (tool == KeyLookup::NotFound) {
        const KeyLookup folder =
            GetKeyValue(Registry::LocalMachine, kSysInfoLocKey, kSysInfoLocValue, sysInfoPath);
        if (folder == KeyLookup::Unreadable)
            return showUnavailable();
        if (folder == KeyLookup::Found) {
            if (!m_isFile(sysInfoPath + kSysInfoExe))
                return showUnavailable();
            sysInfoPath += kSysInfoExe;
        } else {
            // No registry here: take the first known tool on PATH.
            sysInfoPath = findSysInfoProgram();
            if (sysInfoPath.isEmpty())
                return showUnavailable();
        }
    }
    if (!m_launcher.startDetached(sysInfoPath, {}))
        showUnavailable();
}

frmAbout::KeyLookup frmAbout::GetKeyValue(Registry::Key keyRoot, const QString &keyName,
                                          const QString &subKeyRef, QString &keyVal)
{
    Registry::Key hKey = 0;
    KeyLookup result = KeyLookup::NotFound;
    if (m_registry.openKey(keyRoot, keyName, 0, Registry::ReadControlAndAllValueRights, hKey) !=
        Registry::Success) {
        keyVal.clear();
    } else {
        QByteArray buffer(kValueBufferSize, '\0');
        quint32 size = kValueBufferSize;
        quint32 type = Registry::None;
        if (m_registry.queryValue(hKey, subKeyRef, type, buffer, size) != Registry::Success) {
            keyVal.clear();
        } else if (size == 0 || size > quint32(buffer.size())) {
            result = KeyLookup::Unreadable;
        } else {
            QByteArray text = buffer.left(int(size));
            if (text.endsWith('\0'))
                text.chop(1);
            switch (type) {
            case Registry::Sz:
                keyVal = QString::fromLocal8Bit(text);
                break;
            case Registry::DWord: {
                // The number itself, stored least significant byte first.
                const QByteArray raw = buffer.left(4).leftJustified(4, '\0');
                const quint32 value = qFromLittleEndian<quint32>(raw.constData());
                keyVal = QStringLiteral("&h") +
                         QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
                break;
            }
            default:
                break; // other kinds leave the text as it was
            }
            result = KeyLookup::Found;
        }
    }
    m_registry.closeKey(hKey);
    return result;
}

QString frmAbout::findSysInfoProgram() const
{
    for (const QString &name : sysInfoPrograms()) {
        const QString path = m_findProgram(name);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

void frmAbout::showUnavailable()
{
    m_boxes.message(this, QStringLiteral("System Information Is Unavailable At This Time"), kTitle,
                    ModalBoxes::NoIcon, ModalBoxes::Ok, ModalBoxes::AnswerOk);
}
