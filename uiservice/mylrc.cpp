#include "uiservice/mylrc.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QDebug>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QStyle>
#include <QStyleOption>

MyLrc::MyLrc(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_textColor(Qt::black), m_highlightColor(255, 127, 39)
{
    resize(20, 10);
    m_font = QFont(QStringLiteral("Arial"));
    m_font.setWeight(75);
    setFont(m_font);
    setStyleSheet(QStringLiteral("font-size:16px;"));

    QPalette pal = palette();
    const QColor background(255, 255, 255, 125);
    pal.setColor(QPalette::Active, QPalette::Window, background);
    pal.setColor(QPalette::Inactive, QPalette::Window, background);
    pal.setColor(QPalette::Disabled, QPalette::Window, background);
    setPalette(pal);
    setAutoFillBackground(true);
    move(100, 100);

    // The ring captions arrive from the tablets' reading threads through queued calls.
    qRegisterMetaType<QStringList *>("QStringList*");
    m_timer.setSingleShot(false);
    connect(&m_timer, &QTimer::timeout, this, &MyLrc::handleTimeout);
}

MyLrc::~MyLrc() = default;

bool MyLrc::OpenCaptionFile(const QString &path, const QString &group)
{
    if (!QFileInfo::exists(path)) {
        qWarning().noquote() << "Caption file not found:" << path;
        m_pCaptions.reset();
        return false;
    }
    m_pCaptions = std::make_unique<QSettings>(path, QSettings::IniFormat);
    m_pCaptions->setIniCodec("UTF-8");
    m_pCaptions->beginGroup(group);
    return true;
}

void MyLrc::ShowText(const QString &text, bool autoHide)
{
    m_timer.stop();
    m_lines = QStringList{text};
    m_nLineCount = 1;
    m_nHighlight = -1;
    m_bSingleLine = true;

    // The style sheet sets the font size: measure with the polished font.
    ensurePolished();
    const QFontMetrics metrics = fontMetrics();
    // The caption keeps a margin of about 3/4 of the text around it.
    m_fWidth = float(metrics.horizontalAdvance(text)) * 50.0f / 28.0f + float(metrics.lineSpacing());
    m_fHeight = float(metrics.height()) * 50.0f / 28.0f;
    setFixedSize(int(m_fWidth), int(m_fHeight));
    PlaceAtBottom();
    show();
    update();
    if (autoHide)
        m_timer.start(AutoHideMs);
}

void MyLrc::ShowTips(const QString &key, bool autoHide, const QString &fallback)
{
    QString text = m_pCaptions ? m_pCaptions->value(key).toString() : QString();
    if (text.isEmpty())
        text = fallback;
    if (text.isEmpty()) {
        qWarning().noquote() << "No caption text for" << key;
        return;
    }
    ShowText(text, autoHide);
}

void MyLrc::ShowList(const QStringList &lines, int highlight)
{
    m_timer.stop();
    m_lines = lines;
    m_nLineCount = lines.size();
    m_nHighlight = highlight;
    m_bSingleLine = false;
    // 20 pixels per line and 10 for the margins.
    m_fWidth = 200;
    m_fHeight = float(20 * m_nLineCount + 10);
    setFixedSize(int(m_fWidth), int(m_fHeight));
    show();
    update();
    m_timer.start(AutoHideMs);
}

void MyLrc::OnEmitAction(const QString &text)
{
    ShowText(text, true);
}

void MyLrc::OnEmitRingLrc(QStringList *lines, int highlight)
{
    if (lines)
        ShowList(*lines, highlight);
}

void MyLrc::handleTimeout()
{
    m_timer.stop();
    m_lines.clear();
    m_nLineCount = 0;
    hide();
}

void MyLrc::PlaceAtBottom()
{
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    move(area.left() + (area.width() - width()) / 2, area.top() + area.height() - height());
}

void MyLrc::paintEvent(QPaintEvent *)
{
    if (m_lines.isEmpty()) {
        // Nothing to say: hidden, but not from inside the paint.
        QMetaObject::invokeMethod(this, &QWidget::hide, Qt::QueuedConnection);
        return;
    }
    QPainter painter(this);
    // The background primitive lets a style sheet restyle the caption.
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);

    if (m_bSingleLine) {
        painter.setPen(m_textColor);
        painter.drawText(rect(), Qt::AlignHCenter | Qt::AlignVCenter, m_lines.first());
        return;
    }
    for (int i = 0; i < m_lines.size(); ++i) {
        painter.setPen(i == m_nHighlight ? m_highlightColor : m_textColor);
        painter.drawText(20, 20 * i + 20, m_lines.at(i));
    }
}

void MyLrc::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        const QPoint offset = event->globalPos() - frameGeometry().topLeft();
        m_nDragX = offset.x();
        m_nDragY = offset.y();
    }
    QWidget::mousePressEvent(event);
}

void MyLrc::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton) {
        setCursor(Qt::PointingHandCursor);
        move(event->globalPos() - QPoint(m_nDragX, m_nDragY));
    }
    QWidget::mouseMoveEvent(event);
}

void MyLrc::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    // The service's caption file names the entry; Inkora gives it from its own language.
    QString hide = m_pCaptions ? m_pCaptions->value(QStringLiteral("Common.hide")).toString() : QString();
    if (hide.isEmpty())
        hide = m_strHideText;
    menu.addAction(hide, this, &QWidget::hide);
    menu.exec(event->globalPos());
}
