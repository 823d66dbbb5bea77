#include "app/importsettingdialog.h"

#include "base/language.h"
#include "config/settingsfile.h"
#include "device/ctablet.h"

#include <QDebug>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// The device answers every step within milliseconds; one that stays silent this long is
// gone or stuck, and the transfer is over.
constexpr int kReplyTimeoutMs = 10000;
} // namespace

ImportSettingDialog::ImportSettingDialog(CTablet *tablet, Direction direction, const QString &appPath,
                                         TextLookup text, QWidget *parent)
    : QDialog(parent)
    , m_pTablet(tablet)
    , m_direction(direction)
    , m_strAppPath(appPath)
    , m_text(std::move(text))
{
    setModal(true);
    setObjectName(QStringLiteral("ImportSettingDialog"));
    m_pReplyTimer = new QTimer(this);
    m_pReplyTimer->setSingleShot(true);
    m_pReplyTimer->setInterval(kReplyTimeoutMs);
    connect(m_pReplyTimer, &QTimer::timeout, this, &ImportSettingDialog::OnReplyTimeout);
    setWindowTitle(QStringLiteral("Inkora"));

    auto *layout = new QVBoxLayout(this);
    m_pPages = new QStackedWidget(this);
    layout->addWidget(m_pPages);

    // Page 0: progress.
    auto *progress = new QWidget(m_pPages);
    auto *pl = new QVBoxLayout(progress);
    m_pPercent = new QLabel(QStringLiteral("0%"), progress);
    m_pPercent->setAlignment(Qt::AlignCenter);
    m_pBar = new QProgressBar(progress);
    m_pBar->setRange(0, 100);
    m_pBar->setValue(0);
    m_pBar->setTextVisible(false);
    auto *tip = new QLabel(m_text(QStringLiteral("Import.tip"),
                                  QStringLiteral("Note: please do not close this page during data transmission")),
                           progress);
    tip->setWordWrap(true);
    pl->addWidget(m_pPercent);
    pl->addWidget(m_pBar);
    pl->addWidget(tip);
    m_pPages->addWidget(progress);

    // Page 1: result.
    auto *result = new QWidget(m_pPages);
    auto *rl = new QVBoxLayout(result);
    m_pPicture = new QLabel(result);
    m_pPicture->setAlignment(Qt::AlignCenter);
    m_pResult = new QLabel(result);
    m_pResult->setAlignment(Qt::AlignCenter);
    m_pResult->setWordWrap(true);
    rl->addWidget(m_pPicture);
    rl->addWidget(m_pResult);
    m_pPages->addWidget(result);

    auto *buttons = new QHBoxLayout;
    m_pRetry = new QPushButton(m_text(QStringLiteral("Common.retry"), QStringLiteral("Retry")), this);
    m_pClose = new QPushButton(m_text(QStringLiteral("Common.close"), QStringLiteral("Close")), this);
    m_pRetry->setObjectName(QStringLiteral("pushButton_retry"));
    m_pClose->setObjectName(QStringLiteral("pushButton_close"));
    m_pRetry->setVisible(false);
    buttons->addStretch();
    buttons->addWidget(m_pRetry);
    buttons->addWidget(m_pClose);
    layout->addLayout(buttons);

    connect(m_pRetry, &QPushButton::clicked, this, &ImportSettingDialog::Start);
    connect(m_pClose, &QPushButton::clicked, this, &ImportSettingDialog::HideDialog);
    connect(this, &ImportSettingDialog::HideDialog, this, [this] { done(m_bSucceeded ? Accepted : Rejected); });
    if (m_pTablet) {
        connect(m_pTablet.data(), &CTablet::PostDeviceOperatorMsg, this, &ImportSettingDialog::ImportSaveProcessBar,
                Qt::QueuedConnection);
        // Unplugged during the transfer: it has failed now, not when the reply is overdue.
        connect(m_pTablet.data(), &QObject::destroyed, this, [this] {
            if (!m_bSucceeded)
                ShowResult(false, m_text(QStringLiteral("DiagnosisFunction.fail"), QStringLiteral("Fail")));
        });
    }
}

ImportSettingDialog::~ImportSettingDialog()
{
    if (m_pTablet)
        disconnect(m_pTablet.data(), nullptr, this, nullptr);
}

void ImportSettingDialog::Start()
{
    m_bSucceeded = false;
    m_bSpecificFailure = false;
    m_pRetry->setVisible(false);
    m_pPages->setCurrentIndex(0);
    m_pBar->setValue(0);
    m_pPercent->setText(QStringLiteral("0%"));
    if (!m_pTablet) {
        ShowResult(false, m_text(QStringLiteral("DiagnosisFunction.fail"), QStringLiteral("Fail")));
        return;
    }
    m_pReplyTimer->start();
    if (m_direction == SendToDevice) {
        // The tablet keeps the document and announces its length; the device answers
        // with code 1 when it is ready for the chunks.
        m_pTablet->UploadProfile(m_strAppPath, 0);
        if (m_pTablet->uploadBuffer.isEmpty())
            ShowResult(false, m_text(QStringLiteral("DiagnosisFunction.fail"), QStringLiteral("Fail")));
    } else {
        m_pTablet->ProfileTransferControl(1, 0);
    }
}

void ImportSettingDialog::ImportSaveProcessBar(int code, int value)
{
    if (m_pReplyTimer->isActive())
        m_pReplyTimer->start(); // the device is still there: its next answer is due anew
    switch (code) {
    case TransferStarted:
        if (value == 0 && m_direction == SendToDevice)
            SendPreparedBytes();
        break;
    case TransferUploadDone:
    case TransferParsed:
        m_bSucceeded = true;
        ShowResult(true, m_text(QStringLiteral("Import.success"), QStringLiteral("Success")));
        break;
    case TransferNothingSent:
    case TransferFailed:
        // The device ends an empty or refused transfer with a plain end; the reason
        // shown just before stays.
        if (!m_bSpecificFailure)
            ShowResult(false, m_text(QStringLiteral("DiagnosisFunction.fail"), QStringLiteral("Fail")));
        break;
    case TransferHeader:
        if (value != 0 && m_pTablet)
            m_pTablet->ProfileTransferControl(2, 0);
        break;
    case TransferProgress:
        m_pPercent->setText(Language::percent(value));
        m_pBar->setValue(value);
        break;
    case TransferWrongId:
        m_bSpecificFailure = true;
        ShowResult(false, m_text(QStringLiteral("Import.plaf"),
                                 QStringLiteral("The file format in the device is incompatible with the current system.")));
        break;
    case TransferEmpty:
        m_bSpecificFailure = true;
        ShowResult(false, m_text(QStringLiteral("Import.NotDevice"), QStringLiteral("There is no profile in the current device.")));
        break;
    default:
        break;
    }
}

void ImportSettingDialog::SendPreparedBytes()
{
    if (m_bSending || !m_pTablet)
        return; // a repeated ready answer must not send the document twice at once
    m_bSending = true;
    m_pPages->setCurrentIndex(0);
    const QVector<QByteArray> chunks = ProfileChunks(m_pTablet->uploadBuffer);
    for (int i = 0; i < chunks.size(); ++i) {
        if (!m_pTablet)
            break; // the tablet went away while we waited
        m_pTablet->SendProfileChunk(3, reinterpret_cast<const quint8 *>(chunks[i].constData()), kProfileChunkBytes);
        m_pReplyTimer->start();
        emit ChunkSent(i, chunks[i]);
        const int percent = ProfileChunkPercent(i, chunks.size());
        m_pPercent->setText(Language::percent(percent));
        m_pBar->setValue(percent);
        Pause(m_nChunkPauseMs);
    }
    if (m_pTablet) {
        m_pTablet->SendProfileChunk(2, nullptr, 0);
        m_pReplyTimer->start(); // now the device's answer to the end is due
        Pause(10);
    }
    m_bSending = false;
}

void ImportSettingDialog::setReplyTimeout(int ms)
{
    m_pReplyTimer->setInterval(ms);
}

void ImportSettingDialog::OnReplyTimeout()
{
    if (m_bSending) {
        m_pReplyTimer->start(); // our own chunks are still going out
        return;
    }
    qWarning().noquote() << "ImportSettingDialog: no answer from the device within"
                         << m_pReplyTimer->interval() << "ms";
    ShowResult(false, m_text(QStringLiteral("DiagnosisFunction.fail"), QStringLiteral("Fail")));
}

void ImportSettingDialog::ShowResult(bool ok, const QString &text)
{
    m_pReplyTimer->stop();
    m_pPages->setCurrentIndex(1);
    m_pBar->setValue(0);
    m_pResult->setText(text);
    const QStyle::StandardPixmap icon = ok ? QStyle::SP_DialogApplyButton : QStyle::SP_MessageBoxCritical;
    m_pPicture->setPixmap(style()->standardIcon(icon).pixmap(48, 48));
    m_pRetry->setVisible(!ok);
    qInfo().noquote() << "ImportSettingDialog:" << (ok ? "success" : "failure") << text;
}

void ImportSettingDialog::Pause(int ms)
{
    // Waits while the window keeps processing its events (the device's answers come in
    // as queued signals meanwhile).
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QString ImportSettingDialog::statusText() const
{
    return m_pPages->currentIndex() == 0 ? m_pPercent->text() : m_pResult->text();
}

int ImportSettingDialog::progressValue() const
{
    return m_pBar->value();
}
