#include "online/driverdownload.h"

#include "base/languagetexts.h"
#include "online/download.h"
#include "online/installerlauncher.h"

#include <algorithm>

#include <QDebug>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr int kDialogWidth = 720;
constexpr int kDialogHeight = 240;

} // namespace

DriverDownLoad::DriverDownLoad(const LanguageTexts *language, InstallerLauncher *launcher, const QString &targetFolder,
                               QWidget *parent)
    : QDialog(parent), m_pLanguage(language), m_pLauncher(launcher)
{
    setWindowTitle(text(QStringLiteral("DriverDownLoad.Title"), QStringLiteral("Inkora Update")));
    setFixedSize(kDialogWidth, kDialogHeight);
    m_pDownload = targetFolder.isEmpty() ? new Download(this) : new Download(targetFolder, this);

    m_pPages = new QTabWidget(this);
    m_pPages->setObjectName(QStringLiteral("tabWidget"));
    m_pPages->tabBar()->hide();
    m_pPages->setGeometry(0, 0, kDialogWidth, kDialogHeight);

    // Page 0: the question.
    auto *ask = new QWidget;
    m_pQuestion = new QLabel(text(QStringLiteral("DriverDownLoad.Tips1"),
                                  QStringLiteral("检测到有新版本，是否更新？")), ask);
    m_pQuestion->setObjectName(QStringLiteral("label_tips"));
    m_pQuestion->adjustSize();
    // Centred by its own text width, as the dialog is a fixed 720 pixels wide.
    const int textWidth = QFontMetrics(m_pQuestion->font()).horizontalAdvance(m_pQuestion->text());
    m_pQuestion->move((kDialogWidth - textWidth) / 2, 70);
    auto *notNow = new QPushButton(text(QStringLiteral("DriverDownLoad.CancelDLButton"), QStringLiteral("暂不更新")), ask);
    notNow->setObjectName(QStringLiteral("pushButton_notNow"));
    // 150 pixels each, wider where the language's text needs it.
    const int notNowWidth = std::max(150, notNow->sizeHint().width());
    notNow->setGeometry(kDialogWidth / 2 - 20 - notNowWidth, 150, notNowWidth, 36);
    auto *update = new QPushButton(text(QStringLiteral("DriverDownLoad.BeginDlButton"), QStringLiteral("立即更新")), ask);
    update->setObjectName(QStringLiteral("pushButton_update"));
    update->setGeometry(kDialogWidth / 2 + 20, 150, std::max(150, update->sizeHint().width()), 36);
    m_pPages->addTab(ask, QString());

    // Page 1: the download.
    auto *progressPage = new QWidget;
    auto *layout = new QVBoxLayout(progressPage);
    layout->setContentsMargins(60, 40, 60, 30);
    m_pStatus = new QLabel(text(QStringLiteral("DriverDownLoad.Tips2"), QStringLiteral("下载中…")));
    m_pStatus->setObjectName(QStringLiteral("label_status"));
    m_pStatus->setWordWrap(true);
    layout->addWidget(m_pStatus);
    m_pProgress = new QProgressBar;
    m_pProgress->setObjectName(QStringLiteral("progressBar"));
    m_pProgress->setRange(0, 100);
    m_pProgress->setValue(0);
    layout->addWidget(m_pProgress);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    auto *close = new QPushButton(text(QStringLiteral("Common.close"), QStringLiteral("关闭")));
    close->setObjectName(QStringLiteral("pushButton_close"));
    buttons->addWidget(close);
    layout->addLayout(buttons);
    m_pPages->addTab(progressPage, QString());

    connect(m_pDownload, &Download::downloadFinished, this, &DriverDownLoad::ondownloadFinished);
    connect(m_pDownload, &Download::updateUIProgress, this, &DriverDownLoad::onupdateUIProgress);
    connect(m_pDownload, &Download::downloadFailed, this, &DriverDownLoad::ondownloadFailed);
    QMetaObject::connectSlotsByName(this);
    m_pPages->setCurrentIndex(0);
}

DriverDownLoad::~DriverDownLoad() = default;

QString DriverDownLoad::text(const QString &key, const QString &fallback) const
{
    return m_pLanguage ? m_pLanguage->text(key, fallback) : fallback;
}

int DriverDownLoad::currentPage() const
{
    return m_pPages->currentIndex();
}

int DriverDownLoad::progress() const
{
    return m_pProgress->value();
}

QString DriverDownLoad::statusText() const
{
    return m_pStatus->text();
}

void DriverDownLoad::on_pushButton_notNow_clicked()
{
    close();
}

void DriverDownLoad::on_pushButton_close_clicked()
{
    close();
}

void DriverDownLoad::on_pushButton_update_clicked()
{
    m_pPages->setCurrentIndex(1);
    m_pDownload->setFileName(Download::FileNameForLink(m_strDownloadLink));
    m_pDownload->startDownload(QUrl(m_strDownloadLink.trimmed()));
}

void DriverDownLoad::done(int result)
{
    // Closing abandons a download in progress, with its partial file.
    m_pDownload->abort();
    QDialog::done(result);
}

void DriverDownLoad::ondownloadFinished(QString path)
{
    qInfo().noquote() << "ondownloadFinished" << path;
    if (!path.isEmpty() && m_pLauncher && m_pLauncher->OpenFile(path)) {
        close();
        m_pLauncher->QuitApplication();
        return;
    }
    if (!path.isEmpty())
        qWarning().noquote() << "Cannot open" << path;
    close();
}

void DriverDownLoad::onupdateUIProgress(int percent, QString text)
{
    qDebug().noquote() << "onupdateUIProgress" << percent << text;
    m_pProgress->setValue(percent);
}

QString DriverDownLoad::failureText(int failure, const QString &detail) const
{
    QString reason;
    switch (failure) {
    case Download::FailNotAWebLink:
        reason = text(QStringLiteral("DriverDownLoad.Error.Link"), QStringLiteral("The update offer has no usable download address."));
        if (!detail.trimmed().isEmpty())
            reason += QLatin1Char(' ') + detail;
        return reason;
    case Download::FailFolder:
        return text(QStringLiteral("DriverDownLoad.Error.Folder"), QStringLiteral("The folder %1 cannot be created.")).arg(detail);
    case Download::FailWrite:
        return text(QStringLiteral("DriverDownLoad.Error.Write"), QStringLiteral("The file cannot be written: %1")).arg(detail);
    case Download::FailTooManyRedirects:
        return text(QStringLiteral("DriverDownLoad.Error.Redirects"), QStringLiteral("The download server sent the request on too often."));
    case Download::FailRedirectRefused:
        return text(QStringLiteral("DriverDownLoad.Error.Redirect"),
                    QStringLiteral("The download server pointed to an address that is not allowed: %1"))
            .arg(detail);
    case Download::FailHttpStatus:
        return text(QStringLiteral("DriverDownLoad.Error.Http"), QStringLiteral("The download server answered with error %1.")).arg(detail);
    case Download::FailNetwork:
    default:
        return text(QStringLiteral("DriverDownLoad.Error.Network"), QStringLiteral("The connection failed: %1")).arg(detail);
    }
}

void DriverDownLoad::ondownloadFailed(int failure, QString detail)
{
    m_pPages->setCurrentIndex(1);
    m_pStatus->setText(text(QStringLiteral("DriverDownLoad.Failed"), QStringLiteral("The download failed."))
                       + QLatin1Char('\n') + failureText(failure, detail));
}
