#pragma once
// The update dialog: page 0 asks whether to update now, page 1 shows the download's
// progress. A finished package is handed to the launcher (opened, then the program
// ends); a failed one is reported on page 1 in plain words.

#include <QDialog>
#include <QString>

class Download;
class InstallerLauncher;
class QLabel;
class QProgressBar;
class QPushButton;
class LanguageTexts;
class QTabWidget;

class DriverDownLoad : public QDialog {
    Q_OBJECT

public:
    // language: the language file with the chosen group open (null: built-in texts).
    // launcher must outlive the dialog. targetFolder: where the package goes (the home
    // folder's "/Downloads/" when empty).
    DriverDownLoad(const LanguageTexts *language, InstallerLauncher *launcher, const QString &targetFolder = QString(),
                   QWidget *parent = nullptr);
    ~DriverDownLoad() override;

    void setDownloadLink(const QString &link) { m_strDownloadLink = link; }
    QString downloadLink() const { return m_strDownloadLink; }
    Download *download() const { return m_pDownload; }
    int currentPage() const;
    int progress() const;
    QString statusText() const;

public slots:
    void ondownloadFinished(QString path);
    void onupdateUIProgress(int percent, QString text);
    void ondownloadFailed(int failure, QString detail);

    void on_pushButton_notNow_clicked();
    void on_pushButton_update_clicked();
    void on_pushButton_close_clicked();

protected:
    void done(int result) override;

private:
    QString text(const QString &key, const QString &fallback) const;
    // What the user is told about a failed transfer (a Download::Failure and its detail).
    QString failureText(int failure, const QString &detail) const;

    const LanguageTexts *m_pLanguage;
    InstallerLauncher *m_pLauncher;
    QString m_strDownloadLink;
    Download *m_pDownload = nullptr;     // child object
    QTabWidget *m_pPages = nullptr;      // child widget
    QLabel *m_pQuestion = nullptr;       // child widget
    QLabel *m_pStatus = nullptr;         // child widget
    QProgressBar *m_pProgress = nullptr; // child widget
};
