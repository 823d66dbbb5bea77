#include "firmware/firmwareupdate.h"

#include "base/language.h"
#include "firmware/firmwareimage.h"
#include "platform/window/windowbackend.h"

#include <QCloseEvent>
#include <QDebug>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMetaObject>
#include <QMutexLocker>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

constexpr char FirmwareUpdate::kWindowClass[];
constexpr char FirmwareUpdate::kWindowTitle[];
constexpr char FirmwareUpdate::kImagePath[];

namespace {

// The system command that asks a window to come back from the tray or the task bar.
constexpr quint32 kSysCommand = 0x0112;
constexpr qint64 kScRestore = 0xF120;

constexpr int kPageWaiting = 0;
constexpr int kPageUpgrading = 1;

// Device interface callback, on the notification thread (or the caller's, for the
// scan): the notice is queued for the GUI thread.
void MyDeviceCallBack(const char *path, const char *, int arrived, void *user)
{
    const QString text = QString::fromUtf8(path);
    qInfo().noquote() << "MyDeviceCallBack" << text << (arrived ? "arrival" : "removal");
    static_cast<FirmwareUpdate *>(user)->QueueNotice(text, arrived != 0);
}

QString EntryText(int entry)
{
    if (entry == 0)
        return QString::asprintf("vid_%04X&pid_%04X&mi_%02d", 0x28BD, 0x0935, 2);
    return QString::asprintf("vid_%04X&pid_%04X", 0x28BD, 0xFFF3);
}

} // namespace

FirmwareUpdate::FirmwareUpdate(const QString &programFolder, const QString &dataFolder, const QString &languageGroup,
                               bool simulatedLoader, WindowBackend *window, QWidget *parent)
    : QWidget(parent), m_strProgramFolder(programFolder), m_bSimulatedLoader(simulatedLoader)
{
    setWindowTitle(QLatin1String(kWindowTitle));
    BuildWindow();

    m_pLanguage = std::make_unique<QSettings>(dataFolder + QStringLiteral("/language.ini"), QSettings::IniFormat);
    m_pLanguage->setIniCodec("UTF-8");
    Language::openGroup(*m_pLanguage, languageGroup);
    LoadTexts();

    if (window) {
        m_pEndpoint = window->createEndpoint(QLatin1String(kWindowClass), QLatin1String(kWindowTitle));
        if (m_pEndpoint) {
            connect(m_pEndpoint.get(), &WindowEndpoint::messageReceived, this,
                    [this](quint32 message, qint64 wParam, qint64) { HandleSystemCommand(message, wParam); });
        }
    }
    connect(m_pConfirm, &QPushButton::clicked, this, &FirmwareUpdate::on_pushButton_confirm_clicked);
    connect(m_pCancel, &QPushButton::clicked, this, &FirmwareUpdate::on_pushButton_cancel_clicked);
    connect(m_pClose, &QPushButton::clicked, this, &FirmwareUpdate::on_pushButton_close_clicked);
}

FirmwareUpdate::~FirmwareUpdate()
{
    // No notice may reach this window any more; one in progress finishes first.
    RegisterDevNotifyCallBack(nullptr, nullptr);
    CloseDevice();
}

void FirmwareUpdate::BuildWindow()
{
    m_pPages = new QStackedWidget(this);

    auto *waiting = new QWidget(m_pPages);
    m_pTips = new QLabel(QStringLiteral("No device found. Please connect the tablet."), waiting);
    m_pTips->setObjectName(QStringLiteral("label_tips"));
    m_pTips->setWordWrap(true);
    m_pButtonArea = new QWidget(waiting);
    m_pConfirm = new QPushButton(QStringLiteral("Confirm"), m_pButtonArea);
    m_pConfirm->setObjectName(QStringLiteral("pushButton_confirm"));
    m_pConfirm->setEnabled(false);
    m_pCancel = new QPushButton(QStringLiteral("Cancel"), m_pButtonArea);
    m_pCancel->setObjectName(QStringLiteral("pushButton_cancel"));
    auto *buttons = new QHBoxLayout(m_pButtonArea);
    buttons->addStretch();
    buttons->addWidget(m_pConfirm);
    buttons->addWidget(m_pCancel);
    auto *waitingLayout = new QVBoxLayout(waiting);
    waitingLayout->addWidget(m_pTips);
    waitingLayout->addStretch();
    waitingLayout->addWidget(m_pButtonArea);

    auto *upgrading = new QWidget(m_pPages);
    m_pUpgrading = new QLabel(QStringLiteral("Upgrading..."), upgrading);
    m_pUpgrading->setObjectName(QStringLiteral("label_upgrading"));
    m_pProgressArea = new QWidget(upgrading);
    m_pProgress = new QProgressBar(m_pProgressArea);
    m_pProgress->setObjectName(QStringLiteral("progressBar"));
    m_pProgress->setRange(0, 100);
    m_pProgress->setValue(0);
    m_pUpgradingTips = new QLabel(QStringLiteral("Do not unplug the tablet while it is upgrading."), m_pProgressArea);
    m_pUpgradingTips->setObjectName(QStringLiteral("label_upgradingTips"));
    m_pUpgradingTips->setWordWrap(true);
    auto *progressLayout = new QVBoxLayout(m_pProgressArea);
    progressLayout->addWidget(m_pProgress);
    progressLayout->addWidget(m_pUpgradingTips);
    m_pResult = new QLabel(upgrading);
    m_pResult->setObjectName(QStringLiteral("label_result"));
    m_pResult->setWordWrap(true);
    m_pVersions = new QLabel(upgrading);
    m_pVersions->setObjectName(QStringLiteral("label_versions"));
    m_pVersions->hide();
    m_pClose = new QPushButton(QStringLiteral("Close"), upgrading);
    m_pClose->setObjectName(QStringLiteral("pushButton_close"));
    m_pClose->hide();
    auto *upgradingLayout = new QVBoxLayout(upgrading);
    upgradingLayout->addWidget(m_pUpgrading);
    upgradingLayout->addWidget(m_pProgressArea);
    upgradingLayout->addWidget(m_pResult);
    upgradingLayout->addWidget(m_pVersions);
    upgradingLayout->addStretch();
    upgradingLayout->addWidget(m_pClose, 0, Qt::AlignRight);

    m_pPages->addWidget(waiting);
    m_pPages->addWidget(upgrading);
    m_pPages->setCurrentIndex(kPageWaiting);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_pPages);
    resize(420, 220);
}

QString FirmwareUpdate::Text(const char *key) const
{
    return Language::text(*m_pLanguage, QLatin1String(key), QString());
}

namespace {
// A text of the language file, or the built-in English one when it has none.
QString TextOr(const QString &text, const char *english)
{
    return text.isEmpty() ? QString::fromUtf8(english) : text;
}
} // namespace

void FirmwareUpdate::LoadTexts()
{
    // A key without text leaves the built-in English text in place.
    const struct {
        const char *key;
        QWidget *widget;
    } texts[] = {
        {"Update.cancel", m_pCancel},       {"Update.confirm", m_pConfirm},
        {"Update.Upgrading", m_pUpgrading}, {"Common.close", m_pClose},
        {"Update.NotDevice", m_pTips},      {"Update.UpgradingTips", m_pUpgradingTips},
    };
    for (const auto &t : texts) {
        const QString text = Text(t.key);
        if (text.isEmpty())
            continue;
        if (auto *label = qobject_cast<QLabel *>(t.widget))
            label->setText(text);
        else if (auto *button = qobject_cast<QPushButton *>(t.widget))
            button->setText(text);
    }
}

QString FirmwareUpdate::TipsWithName() const
{
    QString tips = Text("Update.tips");
    tips.replace(QStringLiteral("#123"), QString::fromUtf8(m_Attribute.ProductName));
    return tips;
}

void FirmwareUpdate::QueueNotice(const QString &path, bool arrived)
{
    {
        std::lock_guard<std::mutex> lock(m_noticeLock);
        m_notices.append({path, arrived});
    }
    QMetaObject::invokeMethod(this, "HandleNotices", Qt::QueuedConnection);
}

void FirmwareUpdate::HandleNotices()
{
    QVector<Notice> notices;
    {
        std::lock_guard<std::mutex> lock(m_noticeLock);
        notices.swap(m_notices);
    }
    for (const Notice &n : notices) {
        if (n.arrived)
            DeviceArrived(n.path);
        else
            DeviceRemoved(n.path);
    }
}

bool FirmwareUpdate::StartDevices()
{
    if (!InitLib())
        return false;
    RegisterDevNotifyCallBack(&MyDeviceCallBack, this);
    return true;
}

FirmwareUpdate::Entry FirmwareUpdate::EntryOf(const QString &path)
{
    if (path.contains(EntryText(0), Qt::CaseInsensitive))
        return TabletEntry;
    if (path.contains(EntryText(1), Qt::CaseInsensitive))
        return LoaderEntry;
    return NoEntry;
}

void FirmwareUpdate::ConnectWindowSignals()
{
    connect(this, &FirmwareUpdate::showUpdate, this, &FirmwareUpdate::OnShowUpdate, Qt::UniqueConnection);
    connect(this, &FirmwareUpdate::UpdataResult, this, &FirmwareUpdate::OnUpdataResult, Qt::UniqueConnection);
}

void FirmwareUpdate::ConnectDeviceSignals()
{
    // The reply handler and the stream run on the reading thread; progress is queued
    // to this thread.
    connect(m_pDevice.get(), &UpdateDevice::tabletData, this, &FirmwareUpdate::ReceivtabletData,
            Qt::ConnectionType(Qt::DirectConnection | Qt::UniqueConnection));
    connect(m_pDevice.get(), &UpdateDevice::updateProgress, this, &FirmwareUpdate::OnUpdateFirmwareProgress,
            Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
}

bool FirmwareUpdate::OpenDevice(const QString &path)
{
    // One device at a time: a loader that arrives before the tablet's removal notice
    // replaces the tablet.
    CloseDevice();
    auto device = std::make_unique<UpdateDevice>(path);
    if (!device->Open()) {
        qWarning().noquote() << "Open device failed:" << path;
        return false;
    }
    m_pDevice = std::move(device);
    m_pActiveDevice.store(m_pDevice.get());
    m_Attribute = m_pDevice->Attribute();
    m_bOpened = 1;
    return true;
}

void FirmwareUpdate::CloseDevice()
{
    if (!m_pDevice)
        return;
    m_pActiveDevice.store(nullptr);
    m_pDevice.reset(); // waits for the reading thread, and so for a stream in progress
}

void FirmwareUpdate::StoreFacts(const QString &version, int date)
{
    QSettings facts(QStringLiteral("Niblo"), QStringLiteral("InkoraV2"));
    facts.beginGroup(QStringLiteral("Tablet"));
    facts.setValue(QStringLiteral("ICVersion"), version);
    facts.setValue(QStringLiteral("ICData"), date);
}

QString FirmwareUpdate::ImagePath() const
{
    return m_strProgramFolder + QLatin1String(kImagePath);
}

void FirmwareUpdate::DeviceArrived(const QString &path)
{
    const QString tips = TipsWithName();
    if (!tips.isEmpty())
        m_pTips->setText(tips);

    const Entry entry = EntryOf(path);
    if (entry == NoEntry)
        return;
    if (m_pDevice && m_pDevice->Path().compare(path, Qt::CaseInsensitive) == 0) {
        qInfo().noquote() << "Device already open:" << path;
        return; // the same arrival reported twice (scan and notice)
    }

    if (entry == TabletEntry) {
        ConnectWindowSignals();
        m_bTabletSeen = 1;
        m_bNeedsUpdate = 0; // decided again by this tablet's firmware date
        if (!OpenDevice(path))
            return;
        const QString version = QString::fromUtf8(m_Attribute.ICVersion);
        if (version != QLatin1String(FirmwareImage::kFirmwareVersion))
            return;
        const QString dateText = QString::fromUtf8(m_Attribute.ICData).left(8);
        const int date = FirmwareImage::FirmwareDate(dateText);
        qInfo().noquote() << "Firmware date" << dateText;
        StoreFacts(version, date);
        if (m_bDone.load() == 1) {
            // The updated tablet is back in normal mode: its firmware is the new one.
            m_strNewFirmware = version + QLatin1Char(' ') + dateText;
            ShowVersions();
            return;
        }
        m_strOldFirmware = version + QLatin1Char(' ') + dateText;
        if (FirmwareImage::NeedsUpdate(version, date)) {
            qInfo().noquote() << "KPX2000A-A need update" << dateText;
            m_bNeedsUpdate = 1;
            emit showUpdate(true);
        }
        return;
    }

    // The loader.
    if (m_bTabletSeen == 0) {
        ConnectWindowSignals();
        QSettings facts(QStringLiteral("Niblo"), QStringLiteral("InkoraV2"));
        const int stored = facts.value(QStringLiteral("Tablet/ICData"), 0).toInt();
        if (m_strOldFirmware.isEmpty() && stored > 0)
            m_strOldFirmware = facts.value(QStringLiteral("Tablet/ICVersion")).toString() + QLatin1Char(' ')
                               + QString::number(stored);
        if (stored <= FirmwareImage::kLastOutdatedDate) {
            if (!OpenDevice(path))
                return;
            emit showUpdate(true);
            ConnectDeviceSignals();
        }
    } else if (m_bNeedsUpdate == 1) {
        if (!OpenDevice(path))
            return;
        ConnectDeviceSignals();
        const QString image = ImagePath();
        qInfo().noquote() << "Path" << image;
        if (m_bConfirmPending)
            SendStart(image);
        else
            emit showUpdate(true); // no confirm asked for this loader yet: wait for one
    }
}

void FirmwareUpdate::DeviceRemoved(const QString &path)
{
    if (!m_pDevice || !m_pDevice->Path().contains(path, Qt::CaseInsensitive))
        return;
    const bool loader = EntryOf(m_pDevice->Path()) == LoaderEntry;
    if (loader) {
        disconnect(m_pDevice.get(), &UpdateDevice::tabletData, this, &FirmwareUpdate::ReceivtabletData);
        disconnect(m_pDevice.get(), &UpdateDevice::updateProgress, this, &FirmwareUpdate::OnUpdateFirmwareProgress);
    }
    CloseDevice();
    if (loader) {
        // Read after the close, so a stream that was still running has ended.
        if (m_bErased.load() == 1 && m_bDone.load() == 0) {
            emit UpdataResult(99);
            ShowInterrupted();
        }
        m_bTransferring = false; // nothing more can be written to it
        // The loader leaving after success is not "no device": the tips stay.
        disconnect(this, &FirmwareUpdate::showUpdate, this, &FirmwareUpdate::OnShowUpdate);
    }
    m_bOpened = 0;
    qInfo().noquote() << "Device remove" << path;
    emit showUpdate(false);
}

void FirmwareUpdate::OnShowUpdate(bool show)
{
    const QString problem = show ? ImageProblem() : QString();
    if (!problem.isEmpty()) {
        // Nothing to offer: the tablet must not be sent into its loader for nothing.
        m_pConfirm->setEnabled(false);
        m_pTips->setText(problem);
        return;
    }
    m_pConfirm->setEnabled(show);
    if (show) {
        m_pTips->setText(TipsWithName());
    } else {
        const QString text = Text("Update.NotDevice");
        if (!text.isEmpty())
            m_pTips->setText(text);
    }
}

void FirmwareUpdate::on_pushButton_confirm_clicked()
{
    if (m_bTransferring || m_bConfirmPending) {
        qInfo() << "Confirm ignored: the update is under way";
        return;
    }
    if (!m_pDevice) {
        auto *box = new QMessageBox(QMessageBox::Information, TextOr(Text("Update.TipsTitle"), "Tips"),
                                    TextOr(Text("Update.NoDevice"), "No Device!"), QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return;
    }
    m_pPages->setCurrentIndex(kPageUpgrading);
    m_pProgressArea->show();
    m_pButtonArea->hide();

    // Check the image before the tablet leaves its normal mode: a refused image must
    // not leave it waiting in the loader.
    QByteArray image;
    int code = 0;
    if (!ReadImage(ImagePath(), &image, &code)) {
        emit UpdataResult(code);
        return;
    }
    m_bConfirmPending = true;

    const QString imagePath = ImagePath();
    if (EntryOf(m_pDevice->Path()) == LoaderEntry) {
        qInfo().noquote() << "Path" << imagePath;
        SendStart(imagePath);
        return;
    }
    if (m_bNeedsUpdate == 1)
        m_pDevice->StringID(200); // the tablet restarts into its loader instead of answering
    if (m_bTabletSeen == 1)
        return; // the loader's arrival sends the Start
    qInfo().noquote() << "Path" << imagePath;
    SendStart(imagePath);
}

void FirmwareUpdate::on_pushButton_cancel_clicked()
{
    close();
}

void FirmwareUpdate::on_pushButton_close_clicked()
{
    close();
}

void FirmwareUpdate::closeEvent(QCloseEvent *event)
{
    if (m_bTransferring) {
        // Leaving now would stop the stream half way and leave the tablet without firmware.
        qWarning() << "Close refused: the firmware is being written";
        event->ignore();
        return;
    }
    event->accept();
}

bool FirmwareUpdate::ReadImage(const QString &path, QByteArray *image, int *code)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << "Image file cannot be opened:" << path;
        *code = 98;
        return false;
    }
    *image = file.readAll();
    file.close();
    const FirmwareImage::ImageCheck check = FirmwareImage::CheckImage(*image, m_bSimulatedLoader);
    if (check != FirmwareImage::ImageCheck::Ok) {
        qWarning().noquote() << "Image refused:" << FirmwareImage::ImageCheckText(check) << path << image->size();
        *code = 98;
        return false;
    }
    return true;
}

QString FirmwareUpdate::ImageProblem()
{
    QByteArray image;
    int code = 0;
    if (ReadImage(ImagePath(), &image, &code))
        return QString();
    if (image.isEmpty())
        return TextOr(Text("Update.NoImage"), "No firmware update image is installed so there is nothing to update.");
    return TextOr(Text("Update.BadImage"), "The installed firmware update image cannot be used. Nothing is updated.");
}

void FirmwareUpdate::ShowVersions()
{
    if (m_bDone.load() != 1)
        return;
    const QString unknown = QStringLiteral("?");
    m_pVersions->setText(
        TextOr(Text("Update.OldFirmware"), "Firmware before the update:") + QLatin1Char(' ')
        + (m_strOldFirmware.isEmpty() ? unknown : m_strOldFirmware) + QLatin1Char('\n')
        + TextOr(Text("Update.NewFirmware"), "Firmware now:") + QLatin1Char(' ')
        + (m_strNewFirmware.isEmpty() ? TextOr(Text("Update.WaitRestart"), "read when the tablet has restarted")
                                      : m_strNewFirmware));
    m_pVersions->show();
}

void FirmwareUpdate::ShowInterrupted()
{
    // The image was erased and not replaced: the tablet stays in its loader until an
    // update finishes, which the next start of the updater offers.
    m_pUpgrading->hide();
    m_pProgress->hide();
    m_pUpgradingTips->hide();
    m_pResult->setText(TextOr(Text("Update.Interrupted"),
                              "The tablet left before the update finished. Plug it in again and start the "
                              "firmware update again."));
    m_pClose->show();
}

void FirmwareUpdate::SendStart(const QString &path)
{
    if (!m_bConfirmPending) {
        qWarning() << "Start not sent: the Start of this confirm went out already";
        return;
    }
    QByteArray image;
    int code = 0;
    if (!ReadImage(path, &image, &code)) {
        m_bConfirmPending = false;
        emit UpdataResult(code);
        return;
    }
    const uint16_t crc = FirmwareImage::Crc16(image);
    qInfo().noquote() << "checkSum:" << QString::asprintf("0x%04X", crc) << "size:" << image.size();
    {
        QMutexLocker lock(&m_imageLock);
        m_image = image;
        m_bImageStreamed = false;
    }
    m_bErased.store(0);
    m_bDone.store(0);
    m_bConfirmPending = false;
    m_bTransferring = true;
    if (!m_pDevice || !m_pDevice->SendCmd(FirmwareImage::StartPacket(uint32_t(image.size()), crc))) {
        qWarning() << "Start packet not written";
        m_bTransferring = false; // nothing erased by us: leaving is safe
    }
}

void FirmwareUpdate::ReceivtabletData(quint8 *data, int length)
{
    QString bytes;
    for (int i = 0; i < length; ++i)
        bytes += QString::asprintf(" %02x ", data[i]);
    qDebug().noquote() << bytes;
    QString head;
    for (int i = 0; i < qMin(length, 7); ++i)
        head += QString::asprintf(i ? " %02x" : "%02x", data[i]);
    qInfo().noquote() << "ReceivtabletData" << head << length;
    if (length < 4 || data[0] != 0x02 || data[1] != 0xB2 || data[2] != 0x02)
        return;

    if (data[3] == FirmwareImage::kReplyEraseFinished) {
        m_bErased.store(1);
        qInfo() << "Eraser OK";
        qInfo().noquote() << "Path" << ImagePath();
        UpdateDevice *device = m_pActiveDevice.load();
        if (!device || !SendImage(device)) {
            qWarning() << "FirmwareUpdate error";
            emit UpdataResult(99);
        }
    } else if (data[3] == FirmwareImage::kReplyUpdateFinished) {
        qInfo() << "FirmwareUpdate OK";
        m_bDone.store(1);
        emit UpdataResult(1);
    }
}

bool FirmwareUpdate::SendImage(UpdateDevice *device)
{
    QByteArray image;
    {
        QMutexLocker lock(&m_imageLock);
        if (m_image.isEmpty())
            return false; // no Start of ours announced an image
        if (m_bImageStreamed) {
            // A second erase reply for the same Start: the image went out once already.
            qWarning() << "Erase reply repeated; the image is not sent again";
            return true;
        }
        m_bImageStreamed = true;
        image = m_image;
    }
    // Packets follow each other without waiting for replies; a write that fails or
    // times out is not retried, and the loader's CRC check decides.
    FirmwareImage::ProgressCounter progress(image.size());
    int failed = 0;
    for (int offset = 0; offset < image.size(); offset += FirmwareImage::kDataBytesPerPacket) {
        if (m_pActiveDevice.load() != device)
            break; // the device left; its removal reports the result
        if (!device->SendCmd(FirmwareImage::DataPacket(image, offset)))
            ++failed;
        int percent = 0;
        if (progress.Advance(&percent))
            emit device->updateProgress(percent);
    }
    if (failed > 0)
        qWarning() << "Data packets not written:" << failed;
    return true;
}

void FirmwareUpdate::OnUpdateFirmwareProgress(int percent)
{
    qInfo() << "OnUpdateFirmwareProgress" << percent;
    if (percent <= 100)
        m_pProgress->setValue(percent);
}

void FirmwareUpdate::OnUpdataResult(int code)
{
    qInfo().noquote() << "OnUpdataResult " << code;
    m_bTransferring = false;
    if (code == 99)
        return; // logged; the screen stays as it is
    if (code == 1) {
        m_pResult->setText(TextOr(Text("Update.UpgradeComplete"), "Update complete."));
        ShowVersions();
    } else {
        m_pResult->setText(TextOr(Text("Update.ErrorCode"), "Error Code:%1").arg(code));
    }
    // The result stands alone: the "Updating..." heading is over too.
    m_pUpgrading->hide();
    m_pProgress->hide();
    m_pUpgradingTips->hide();
    m_pClose->show();
}

void FirmwareUpdate::HandleSystemCommand(quint32 message, qint64 wParam)
{
    if (message != kSysCommand || wParam != kScRestore)
        return;
    showNormal();
    raise();
    activateWindow();
}

bool FirmwareUpdate::confirmEnabled() const
{
    return m_pConfirm->isEnabled();
}

int FirmwareUpdate::pageIndex() const
{
    return m_pPages->currentIndex();
}

int FirmwareUpdate::progressValue() const
{
    return m_pProgress->value();
}

bool FirmwareUpdate::progressVisible() const
{
    return !m_pProgress->isHidden();
}

QString FirmwareUpdate::tipsText() const
{
    return m_pTips->text();
}

QString FirmwareUpdate::resultText() const
{
    return m_pResult->text();
}

QString FirmwareUpdate::versionsText() const
{
    return m_pVersions->isHidden() ? QString() : m_pVersions->text();
}

bool FirmwareUpdate::closeVisible() const
{
    return !m_pClose->isHidden();
}
