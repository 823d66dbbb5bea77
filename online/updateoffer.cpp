#include "online/updateoffer.h"

#include "base/languagetexts.h"
#include "online/driverdownload.h"
#include "online/updateserver.h"

#include <QDebug>
#include <QAbstractButton>
#include <QMessageBox>
#include <QStyle>
#include <QVariant>
#include <QWidget>

void SetUpdateRedPoint(QWidget *settingsButton, bool on)
{
    if (!settingsButton)
        return;
    settingsButton->setProperty("redPoint", on ? QStringLiteral("1") : QStringLiteral("0"));
    settingsButton->setStyleSheet(
        on ? QStringLiteral("QPushButton{border-image:url(:/image/Res/btn_setting_r.png);}"
                            "QPushButton:hover{border-image:url(:/image/Res/btn_setting_r_hover.png);}"
                            "QPushButton:pressed{border-image:url(:/image/Res/btn_setting_r_pressed.png);}")
           : QString());
    // A style sheet may also select on the property: re-polish for the new value.
    settingsButton->style()->unpolish(settingsButton);
    settingsButton->style()->polish(settingsButton);
}

bool ApplyNewDriverOffer(QWidget *settingsButton, bool checkEnabled, const QString &version,
                         const QString &link)
{
    bool offered = UpdateServer::IsNewer(version, UpdateServer::InstalledDriverVersion());
    if (offered && !UpdateServer::IsDownloadLink(link)) {
        qWarning().noquote() << "Driver offer" << version << "without a usable download link ignored";
        offered = false;
    }
    SetUpdateRedPoint(settingsButton, offered && checkEnabled);
    return offered;
}

UpdateOffer::UpdateOffer(UpdateServer *server, InstallerLauncher *launcher, const LanguageTexts *language,
                         QWidget *window, QObject *parent)
    : QObject(parent), m_pServer(server), m_pLauncher(launcher), m_pLanguage(language), m_pWindow(window)
{
    connect(m_pServer, &UpdateServer::GetNewDriver, this, &UpdateOffer::OnGetNewDriver);
    connect(m_pServer, &UpdateServer::UpdateCheckEnded, this, &UpdateOffer::OnCheckEnded);
}

UpdateOffer::~UpdateOffer()
{
    delete m_pNote;
    delete m_pDialog;
}

QString UpdateOffer::text(const QString &key, const QString &fallback) const
{
    return m_pLanguage ? m_pLanguage->text(key, fallback) : fallback;
}

QString UpdateOffer::noteText() const
{
    return m_pNote && m_pNote->isVisible() ? m_pNote->text() : QString();
}

DriverDownLoad *UpdateOffer::dialog() const
{
    return m_pDialog;
}

void UpdateOffer::OnGetNewDriver(int flag, QString version, QString downloadLink, QString message)
{
    qInfo().noquote() << "OnGetNewDriver" << flag << version << message;
    m_strVersion = version;
    if (ApplyNewDriverOffer(m_pSettingsButton, m_pServer->isEnabled(), version, downloadLink)) {
        m_strLink = downloadLink.trimmed();
        m_Answer = Answer::Newer;
    } else {
        m_Answer = UpdateServer::IsNewer(version, UpdateServer::InstalledDriverVersion()) ? Answer::NoLink
                                                                                            : Answer::NotNewer;
    }
}

void UpdateOffer::SetSettingsButton(QWidget *button)
{
    m_pSettingsButton = button;
    SetUpdateRedPoint(button, m_Answer == Answer::Newer && m_pServer->isEnabled());
}

void UpdateOffer::Request()
{
    if (!m_strLink.isEmpty()) {
        OpenDialog();
        return;
    }
    if (!m_pServer->isEnabled()) {
        qInfo() << "Driver update asked for while the update check is off";
        ShowNote(text(QStringLiteral("DriverUpdate.off"), QStringLiteral("The check for a newer driver is switched off in this installation.")));
        return;
    }
    m_bAsked = true;
    if (!m_pServer->isRunning()) {
        m_Answer = Answer::None;
        m_pServer->startCheck();
        qInfo() << "Driver update check started on request";
    }
    ShowNote(text(QStringLiteral("DriverUpdate.checking"), QStringLiteral("Checking for a newer driver…")));
}

void UpdateOffer::OnCheckEnded()
{
    qInfo() << "Driver update check ended:" << int(m_pServer->lastFailure()) << int(m_Answer);
    if (!m_bAsked)
        return; // the start-up check only sets the red point
    m_bAsked = false;
    if (!m_strLink.isEmpty()) {
        if (m_pNote)
            m_pNote->close();
        OpenDialog();
        return;
    }
    ShowNote(CheckResultText());
}

QString UpdateOffer::CheckResultText() const
{
    switch (m_pServer->lastFailure()) {
    case UpdateServer::CheckNetworkError:
        return text(QStringLiteral("DriverUpdate.unreachable"), QStringLiteral("The update service cannot be reached: %1"))
            .arg(m_pServer->lastFailureDetail());
    case UpdateServer::CheckUnreadableReply:
        return text(QStringLiteral("DriverUpdate.unreadable"), QStringLiteral("The update service gave an answer that cannot be read."));
    case UpdateServer::CheckRefused:
        return text(QStringLiteral("DriverUpdate.refused"), QStringLiteral("The update service refused the request."));
    case UpdateServer::CheckOk:
        break;
    }
    if (m_Answer == Answer::NoLink)
        return text(QStringLiteral("DriverUpdate.noLink"), QStringLiteral("Driver %1 is out but the update service gave no download address for it."))
            .arg(m_strVersion);
    return text(QStringLiteral("DriverUpdate.newest"), QStringLiteral("Driver %1 is the newest."))
        .arg(UpdateServer::InstalledDriverVersion());
}

void UpdateOffer::ShowNote(const QString &note)
{
    qInfo().noquote() << "Update note:" << note;
    if (!m_pNote) {
        // Not modal: the check goes on behind it and its end replaces the text.
        m_pNote = new QMessageBox(QMessageBox::Information,
                                  text(QStringLiteral("DriverDownLoad.Title"), QStringLiteral("Inkora Update")), note,
                                  QMessageBox::Close, m_pWindow);
        m_pNote->setObjectName(QStringLiteral("updateNote"));
        m_pNote->setAttribute(Qt::WA_DeleteOnClose);
        m_pNote->setWindowModality(Qt::NonModal);
        m_pNote->button(QMessageBox::Close)->setText(text(QStringLiteral("Common.close"), QStringLiteral("Close")));
    }
    m_pNote->setText(note);
    m_pNote->show();
    m_pNote->raise();
}

void UpdateOffer::OpenDialog()
{
    if (m_pDialog) {
        m_pDialog->raise();
        return;
    }
    m_pDialog = new DriverDownLoad(m_pLanguage, m_pLauncher, QString(), m_pWindow);
    m_pDialog->setAttribute(Qt::WA_DeleteOnClose);
    m_pDialog->setDownloadLink(m_strLink);
    // Window-modal without a nested event loop: the program goes on while it is open.
    m_pDialog->open();
}
