#pragma once
// The main window's answer to an offered driver (its slot OnGetNewDriver) and to the
// user's request for the driver update (the tray's update entry, the settings panel's
// driver download). A version newer than the installed one is offered, and the settings
// button shows the red point while the update check is on. Only an offer from a check
// that has finished opens the update dialog; otherwise the user is told in plain words
// what the check found, or that it is off, still running or failed.

#include <QObject>
#include <QPointer>
#include <QString>

class DriverDownLoad;
class InstallerLauncher;
class QMessageBox;
class LanguageTexts;
class QWidget;
class UpdateServer;

// Sets the dynamic property "redPoint" ("1" or "0") and the button's red-dot style.
void SetUpdateRedPoint(QWidget *settingsButton, bool on);

// Applies the offer to the settings button; true when version is newer than the
// installed driver and the link is one the download can fetch, so the caller keeps the
// link for the update dialog. An offer without a usable link shows no red point.
bool ApplyNewDriverOffer(QWidget *settingsButton, bool checkEnabled, const QString &version,
                         const QString &link);

class UpdateOffer : public QObject {
    Q_OBJECT

public:
    // server and launcher outlive this object; language: the language file with the
    // chosen group open (null: built-in texts); window: parent of the note and dialog.
    UpdateOffer(UpdateServer *server, InstallerLauncher *launcher, const LanguageTexts *language, QWidget *window,
                QObject *parent = nullptr);
    ~UpdateOffer() override;

    // The settings window's button shows the red point of a pending offer, also one
    // that came before the window was built; the window is the parent of the note and
    // the dialog from then on.
    void SetSettingsButton(QWidget *button);
    void SetWindow(QWidget *window) { m_pWindow = window; }
    // The download link of the newer driver offered; empty without one.
    QString downloadLink() const { return m_strLink; }
    // The note shown to the user (empty when none is open) and the update dialog.
    QString noteText() const;
    DriverDownLoad *dialog() const;

    // The user asks for the update: the dialog when a finished check offered one, else
    // a note, and a new check when the last one offered nothing.
    void Request();

public slots:
    void OnGetNewDriver(int flag, QString version, QString downloadLink, QString message);

private:
    enum class Answer { None, Newer, NoLink, NotNewer };

    void OnCheckEnded();
    QString CheckResultText() const;
    void ShowNote(const QString &text);
    void OpenDialog();
    QString text(const QString &key, const QString &fallback) const;

    UpdateServer *m_pServer;
    InstallerLauncher *m_pLauncher;
    const LanguageTexts *m_pLanguage;
    QPointer<QWidget> m_pWindow;
    QPointer<QWidget> m_pSettingsButton;
    QString m_strLink;
    QString m_strVersion;
    Answer m_Answer = Answer::None;
    bool m_bAsked = false; // the user waits for the check that runs
    QPointer<QMessageBox> m_pNote;      // deletes itself on close
    QPointer<DriverDownLoad> m_pDialog; // deletes itself on close
};
