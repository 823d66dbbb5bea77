#pragma once
// The floating caption window. Both programs use it: Inkora shows the captions of the
// actions (and the ring function list) that ActionCaption::MyLrc() carries from the
// tablets' reading threads; the UI service shows its help captions, which it looks up
// by key in its own caption file.
//
// A caption sits centred at the bottom of the available area of the screen that holds
// the cursor. With auto-hide it goes 1200 ms after the last show; the user can drag it
// with the left button and hide it from its context menu.
//
// GUI thread only.

#include <QColor>
#include <QFont>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <memory>

class QSettings;

class MyLrc : public QWidget {
    Q_OBJECT

public:
    // How long an auto-hiding caption stays after its last show.
    static constexpr int AutoHideMs = 1200;

    explicit MyLrc(QWidget *parent = nullptr);
    ~MyLrc() override;

    // Caption texts come from this INI file (UTF-8), group 'group', from now on: the UI
    // service's "Tipslanguage.ini". False when the file is not there.
    bool OpenCaptionFile(const QString &path, const QString &group);

    // One line of text. Any running auto-hide stops; with autoHide a new one starts.
    void ShowText(const QString &text, bool autoHide);
    // One line looked up by key in the caption file, else the fallback text; with
    // neither nothing is shown (a caption already on screen stays as it is).
    void ShowTips(const QString &key, bool autoHide, const QString &fallback = QString());
    // Lines with one of them highlighted (the ring functions), auto-hiding.
    void ShowList(const QStringList &lines, int highlight);

    // The context menu's entry that hides the caption (English "Hide" until set).
    void SetHideText(const QString &text) { m_strHideText = text; }

    QStringList lines() const { return m_lines; }
    int highlight() const { return m_nHighlight; }
    const QTimer &hideTimer() const { return m_timer; }

public slots:
    // ActionCaption::EmitAction: an action's caption, auto-hiding.
    void OnEmitAction(const QString &text);
    // ActionCaption::EmitRingLrc. The list belongs to the sender.
    void OnEmitRingLrc(QStringList *lines, int highlight);
    void handleTimeout();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void PlaceAtBottom();

    QColor m_textColor;
    QColor m_highlightColor;
    QFont m_font;
    QStringList m_lines;
    int m_nLineCount = 0;
    int m_nHighlight = -1;
    float m_fWidth = 0;
    float m_fHeight = 0;
    bool m_bSingleLine = true;
    QTimer m_timer;
    int m_nDragX = 0; // press position relative to the window's top-left corner
    int m_nDragY = 0;
    std::unique_ptr<QSettings> m_pCaptions; // the UI service's caption file
    QString m_strHideText = QStringLiteral("Hide");
};
