#include "app/FrmLoad.h"

#include <QPainter>
#include <QTimer>

#include "app/ActivationStep.h"
#include "platform/Fonts.h"
#include "platform/TodayDate.h"
#include "ui_FrmLoad.h"

FrmLoad::FrmLoad(TodayDate &date, int handOverMs, QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::FrmLoad>()), m_date(date)
{
    m_ui->setupUi(this);
    Fonts::applyFractionalSizes(this);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFixedSize(548, 298);
    move(205, 168);
    m_background = property("backgroundPicture").value<QPixmap>();

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setSingleShot(true);
    m_timer->setInterval(handOverMs);
    // Three seconds: a coarse timer may hand over up to 5 % early.
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &FrmLoad::Timer1_Timer);
    m_timer->start();

    m_activation = new ActivationStep(this, [this] { Form_Activate(); });
}

FrmLoad::~FrmLoad() = default;

QString FrmLoad::dateLine()
{
    return m_date.dateLine(QStringLiteral(" سال "));
}

void FrmLoad::Form_Activate()
{
    m_ui->Label1->setText(dateLine());
}

void FrmLoad::Timer1_Timer()
{
    m_timer->stop();
    if (m_handedOver)
        return;
    m_handedOver = true;
    close();
    emit handedOver();
}

void FrmLoad::paintEvent(QPaintEvent *)
{
    // Unscaled from the top-left corner, as the picture was drawn for this size.
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_background);
}
