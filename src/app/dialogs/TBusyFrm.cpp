#include "app/dialogs/TBusyFrm.h"

#include "platform/ui/PaintNow.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>

TBusyFrm::TBusyFrm(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName("BusyFrm");
    setWindowModality(Qt::ApplicationModal);
    setCursor(Qt::WaitCursor);
    setFixedSize(164, 61);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName("Bevel1");
    Bevel1->setFrameShape(QFrame::Panel);
    Bevel1->setFrameShadow(QFrame::Raised);
    Bevel1->setGeometry(0, 0, 164, 61);

    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setGeometry(8, 8, 148, 18);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, &TBusyFrm::Timer1Timer);
    Timer1->start();

    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName("ProgressBar");
    ProgressBar->setRange(0, 100);
    ProgressBar->setTextVisible(false);
    ProgressBar->setGeometry(12, 32, 140, 16);
    connect(ProgressBar, &QProgressBar::valueChanged, this, [this] { ShowProgressNow(); });
}

TBusyFrm::~TBusyFrm() = default;

void TBusyFrm::Show()
{
    show();
}

int TBusyFrm::ShowModal()
{
    return exec();
}

void TBusyFrm::SetText(const std::string& text)
{
    Label1->setText(QString::fromLatin1(text.data(), qsizetype(text.size())));
    ShowProgressNow();
}

std::string TBusyFrm::Text() const
{
    return Label1->text().toLatin1().toStdString();
}

void TBusyFrm::FormShow()
{
    SetText("Please wait...");
    ProgressBar->setValue(0);
    done_ = false;
    tag_ = 0;
}

void TBusyFrm::Timer1Timer()
{
    setVisible(!done_);
}

void TBusyFrm::setVisible(bool visible)
{
    const bool shown = visible && !isVisible();
    showing_ = shown;
    QDialog::setVisible(visible);
    showing_ = false;
    if (shown)
        PaintNow(this);
}

void TBusyFrm::ShowProgressNow()
{
    if (!showing_)
        PaintNow(this);
}

void TBusyFrm::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        FormShow();
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->geometry();
            move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
        }
    }
    QDialog::showEvent(event);
}

void TBusyFrm::closeEvent(QCloseEvent* event)
{
    if (tag_ == 0)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void TBusyFrm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        // Consumed either way, so Esc never reaches a window below.
        event->accept();
        if (tag_ != 0)
            close();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TBusyFrm::reject()
{
    if (tag_ != 0)
        QDialog::reject();
}
