#include "action/ui/hotkeywin.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDebug>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const char *const kModifierLabels[5] = {"Shift", "Left Alt", "Right Alt", "Ctrl", "Space"};
const char *const kMouseLabels[6] = {"Mouse Left Click",  "Mouse Right Click", "Mouse Middle Click",
                                     "Mouse Double Left Click", "Mouse Scroll up", "Mouse Scroll down"};
// Function buttons 2..9; 1 (open settings) takes its label from "Actions.101".
const char *const kFunctionLabels[10] = {nullptr,          nullptr,          "Switch Monitor",
                                         "Pen/Eraser",     "Fine Mode",      "Switch Ring1 Func",
                                         "Switch Ring2 Func", "Switch TrackPad Mode", "NoAction",
                                         "[B]/[E]"};

// Language key and English label of the four mode buttons, by mode.
struct ModeLabel {
    const char *key;
    const char *fallback;
};
const ModeLabel kModeLabels[4] = {
    {"HotKeySetting.Group2.checkbox", "Mouse Control"},
    {"HotKeySetting.Group3.checkbox", "Run the procedure"},
    {"HotKeySetting.Group4.checkbox", "Other"},
    {"HotKeySetting.Group1.checkbox", "Input from keyboard directly (Maximum 20 characters)"},
};

const QChar kSeparator = QLatin1Char('|');

} // namespace

HotKeyWin::HotKeyWin(const EditorDeviceCaps &caps, LanguageLookup texts, QWidget *parent)
    : QDialog(parent), m_Texts(std::move(texts)), m_Caps(caps)
{
    setObjectName(QStringLiteral("WindowsHotkeySetting"));
    setWindowTitle(Text(QStringLiteral("HotKeySetting.Title"), QStringLiteral("WindowsHotkeySetting")));

    auto *layout = new QVBoxLayout(this);
    m_pModes = new QButtonGroup(this);

    // Mouse control.
    auto *mouseBox = new QGroupBox(this);
    auto *mouseLayout = new QGridLayout(mouseBox);
    auto *mouseMode = new QRadioButton(Text(QString::fromLatin1(kModeLabels[0].key),
                                            QString::fromLatin1(kModeLabels[0].fallback)), mouseBox);
    mouseLayout->addWidget(mouseMode, 0, 0, 1, 6);
    m_pModes->addButton(mouseMode, MouseMode);
    for (int i = 0; i < 5; ++i) {
        m_pModifiers[i] = new QCheckBox(
            Text(QStringLiteral("Actions.%1").arg(201 + i), QString::fromLatin1(kModifierLabels[i])), mouseBox);
        mouseLayout->addWidget(m_pModifiers[i], 1, i);
        connect(m_pModifiers[i], &QCheckBox::toggled, this, &HotKeyWin::UpdateName);
    }
    m_pMouseButtons = new QButtonGroup(this);
    m_pMouseButtons->setExclusive(false); // none or one; kept exclusive by hand below
    for (int i = 0; i < 6; ++i) {
        auto *button = new QCheckBox(
            Text(QStringLiteral("Actions.%1").arg(206 + i), QString::fromLatin1(kMouseLabels[i])), mouseBox);
        mouseLayout->addWidget(button, 2 + i / 3, i % 3);
        m_pMouseButtons->addButton(button, 6 + i);
    }
    connect(m_pMouseButtons, qOverload<QAbstractButton *, bool>(&QButtonGroup::buttonToggled), this,
            [this](QAbstractButton *button, bool checked) {
                if (checked) {
                    for (QAbstractButton *other : m_pMouseButtons->buttons()) {
                        if (other != button)
                            other->setChecked(false);
                    }
                }
                UpdateName();
            });
    layout->addWidget(mouseBox);

    // Run a program.
    auto *runBox = new QGroupBox(this);
    auto *runLayout = new QHBoxLayout(runBox);
    auto *runMode = new QRadioButton(Text(QString::fromLatin1(kModeLabels[1].key),
                                          QString::fromLatin1(kModeLabels[1].fallback)), runBox);
    m_pModes->addButton(runMode, RunMode);
    m_pPath = new QLineEdit(runBox);
    m_pPath->setReadOnly(true);
    auto *select = new QPushButton(Text(QStringLiteral("HotKeySetting.selectexe"), QStringLiteral("...")), runBox);
    select->setObjectName(QStringLiteral("pushButton_select"));
    connect(select, &QPushButton::clicked, this, &HotKeyWin::on_pushButton_select_clicked);
    runLayout->addWidget(runMode);
    runLayout->addWidget(m_pPath, 1);
    runLayout->addWidget(select);
    layout->addWidget(runBox);

    // Built-in functions.
    auto *functionBox = new QGroupBox(this);
    auto *functionLayout = new QGridLayout(functionBox);
    auto *functionMode = new QRadioButton(Text(QString::fromLatin1(kModeLabels[2].key),
                                               QString::fromLatin1(kModeLabels[2].fallback)), functionBox);
    functionLayout->addWidget(functionMode, 0, 0, 1, 3);
    m_pModes->addButton(functionMode, FunctionMode);
    m_pFunctions = new QButtonGroup(this);
    int cell = 0;
    for (int n = 1; n <= 9; ++n) {
        int stored = n;
        if (m_Caps.keyGroups && (n == 6 || n == 7))
            stored = n + 4; // next key group (110), key preview (111)
        auto *button = new QRadioButton(FunctionLabel(stored), functionBox);
        m_pFunctions->addButton(button, stored);
        // Function n is action 100 + n; a custom function may sit on any key or button.
        const bool shown = ActionOffered(100 + stored, m_Caps, ActionPlace::Key);
        button->setVisible(shown);
        if (shown) {
            functionLayout->addWidget(button, 1 + cell / 3, cell % 3);
            ++cell;
        } else {
            button->setParent(this);
            button->hide();
        }
    }
    connect(m_pFunctions, qOverload<QAbstractButton *, bool>(&QButtonGroup::buttonToggled), this,
            [this](QAbstractButton *, bool) { UpdateName(); });
    layout->addWidget(functionBox);

    // Keys from the keyboard.
    auto *keyBox = new QGroupBox(this);
    auto *keyLayout = new QGridLayout(keyBox);
    auto *keyMode = new QRadioButton(Text(QString::fromLatin1(kModeLabels[3].key),
                                          QString::fromLatin1(kModeLabels[3].fallback)), keyBox);
    keyLayout->addWidget(keyMode, 0, 0, 1, 3);
    m_pModes->addButton(keyMode, KeyboardMode);
    m_pTitles = new QLineEdit(keyBox);
    m_pTitles->setReadOnly(true);
    keyLayout->addWidget(m_pTitles, 1, 0, 1, 3);
    auto *win = new QPushButton(Text(QStringLiteral("Common.winTips"),
                                     QStringLiteral("Add key combination with the Super key")), keyBox);
    win->setObjectName(QStringLiteral("pushButton_win"));
    auto *clear = new QPushButton(Text(QStringLiteral("Common.clear"), QStringLiteral("Clear")), keyBox);
    clear->setObjectName(QStringLiteral("pushButton_clear"));
    auto *remove = new QPushButton(Text(QStringLiteral("Common.delete"), QStringLiteral("Delete")), keyBox);
    remove->setObjectName(QStringLiteral("pushButton_delete"));
    for (QPushButton *b : {win, clear, remove})
        b->setFocusPolicy(Qt::NoFocus); // keys go to the capture, never to a button
    connect(win, &QPushButton::clicked, this, &HotKeyWin::on_pushButton_win_clicked);
    connect(clear, &QPushButton::clicked, this, &HotKeyWin::on_pushButton_clear_clicked);
    connect(remove, &QPushButton::clicked, this, &HotKeyWin::on_pushButton_delete_clicked);
    keyLayout->addWidget(win, 2, 0);
    keyLayout->addWidget(clear, 2, 1);
    keyLayout->addWidget(remove, 2, 2);
    m_pTips = new QLabel(Text(QStringLiteral("HotKeySetting.Group1.tips"), QString()), keyBox);
    keyLayout->addWidget(m_pTips, 3, 0, 1, 3);
    layout->addWidget(keyBox);

    // Name.
    auto *nameLayout = new QHBoxLayout;
    m_pCustomName = new QCheckBox(
        Text(QStringLiteral("HotKeySetting.Group1.Mousecheckbox"), QStringLiteral("Use custom function name：")), this);
    m_pName = new QLineEdit(this);
    nameLayout->addWidget(m_pCustomName);
    nameLayout->addWidget(m_pName, 1);
    layout->addLayout(nameLayout);
    connect(m_pCustomName, &QCheckBox::toggled, this, &HotKeyWin::UpdateName);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(Text(QStringLiteral("Common.ok"), QStringLiteral("OK")));
    buttons->button(QDialogButtonBox::Cancel)->setText(Text(QStringLiteral("Common.cancel"), QStringLiteral("Cancel")));
    for (QAbstractButton *b : buttons->buttons())
        b->setFocusPolicy(Qt::NoFocus);
    connect(buttons, &QDialogButtonBox::accepted, this, &HotKeyWin::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &HotKeyWin::reject);
    layout->addWidget(buttons);

    connect(m_pModes, qOverload<QAbstractButton *, bool>(&QButtonGroup::buttonToggled), this,
            [this](QAbstractButton *, bool checked) {
                if (checked)
                    UpdateName();
            });
    keyMode->setChecked(true);
    WatchKeys(this);
    UpdateKeyFields();
}

HotKeyWin::~HotKeyWin() = default;

QString HotKeyWin::Text(const QString &key, const QString &fallback) const
{
    return m_Texts ? m_Texts(key, fallback) : fallback;
}

QString HotKeyWin::FunctionLabel(int n) const
{
    // The labels are the action names of the key lists, so one function reads the same
    // everywhere; the built-in labels are the fallback.
    const QString key = QStringLiteral("Actions.%1").arg(100 + n);
    if (n == 1)
        return Text(key, QStringLiteral("Open Settings"));
    if (n == 10)
        return Text(key, QStringLiteral("Next Key Group"));
    if (n == 11)
        return Text(key, QStringLiteral("Show Key Layout"));
    if (n >= 2 && n <= 9)
        return Text(key, QString::fromLatin1(kFunctionLabels[n]));
    return QString();
}

QList<int> HotKeyWin::OfferedFunctions() const
{
    QList<int> ids;
    for (QAbstractButton *b : m_pFunctions->buttons()) {
        if (!b->isHidden())
            ids << m_pFunctions->id(b);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

void HotKeyWin::WatchKeys(QWidget *widget)
{
    widget->installEventFilter(this);
    for (QWidget *child : widget->findChildren<QWidget *>())
        child->installEventFilter(this);
}

bool HotKeyWin::eventFilter(QObject *watched, QEvent *event)
{
    if (CurrentMode() == KeyboardMode && watched != m_pName
        && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (event->type() == QEvent::KeyPress)
            m_Capture.KeyPressed(*key);
        else
            m_Capture.KeyReleased(*key);
        UpdateKeyFields();
        return true; // Escape, Enter and Tab are keys to capture too
    }
    return QDialog::eventFilter(watched, event);
}

void HotKeyWin::on_pushButton_win_clicked()
{
    m_Capture.AddWindowsKey();
    UpdateKeyFields();
}

void HotKeyWin::on_pushButton_clear_clicked()
{
    m_Capture.Clear();
    UpdateKeyFields();
}

void HotKeyWin::on_pushButton_delete_clicked()
{
    m_Capture.DeleteLast();
    UpdateKeyFields();
}

void HotKeyWin::on_pushButton_select_clicked()
{
    const QString path = QFileDialog::getOpenFileName(
        this, Text(QStringLiteral("HotKeySetting.selectexe"), QStringLiteral("Select EXE")), QString(),
        QStringLiteral("exe(*.exe);;All file(*.*)"));
    if (!path.isEmpty())
        SetProgramPath(path);
}

void HotKeyWin::UpdateKeyFields()
{
    m_pTitles->setText(m_Capture.Titles());
    UpdateName();
}

QString HotKeyWin::KeyTitles() const
{
    return m_pTitles->text();
}

void HotKeyWin::SetMode(int mode)
{
    if (QAbstractButton *b = m_pModes->button(mode))
        b->setChecked(true);
}

int HotKeyWin::CurrentMode() const
{
    return m_pModes ? m_pModes->checkedId() : -1;
}

void HotKeyWin::SetMouseItem(int number, bool checked)
{
    if (number >= 1 && number <= 5)
        m_pModifiers[number - 1]->setChecked(checked);
    else if (QAbstractButton *b = m_pMouseButtons->button(number))
        b->setChecked(checked);
}

void HotKeyWin::SetProgramPath(const QString &path)
{
    m_pPath->setText(path);
    UpdateName();
}

bool HotKeyWin::SetFunction(int n)
{
    QAbstractButton *b = m_pFunctions->button(n);
    if (!b || b->isHidden())
        return false;
    b->setChecked(true);
    return true;
}

void HotKeyWin::SetCustomName(bool custom, const QString &name)
{
    m_pCustomName->setChecked(custom);
    if (custom)
        m_pName->setText(name);
    UpdateName();
}

QString HotKeyWin::Name() const
{
    return m_pName->text();
}

QString HotKeyWin::AutoName() const
{
    switch (CurrentMode()) {
    case MouseMode: {
        QStringList labels;
        for (QCheckBox *box : m_pModifiers) {
            if (box->isChecked())
                labels << box->text();
        }
        for (QAbstractButton *b : m_pMouseButtons->buttons()) {
            if (b->isChecked())
                labels << b->text();
        }
        return labels.join(QLatin1Char('+'));
    }
    case RunMode: {
        const QString label = m_pModes->button(RunMode)->text();
        const QString path = m_pPath->text();
        const int slash = path.lastIndexOf(QLatin1Char('/'));
        return slash < 0 ? label + path : label + QLatin1Char(' ') + path.mid(slash + 1);
    }
    case FunctionMode: {
        QAbstractButton *b = m_pFunctions->checkedButton();
        return b ? b->text() : QString();
    }
    case KeyboardMode: {
        // The mode's label, a space and the keys, as the program mode names its program.
        const QString label = Text(QString::fromLatin1(kModeLabels[3].key), QString::fromLatin1(kModeLabels[3].fallback));
        return m_Capture.Titles().isEmpty() ? label : label + QLatin1Char(' ') + m_Capture.Titles();
    }
    default:
        return QString();
    }
}

void HotKeyWin::UpdateName()
{
    if (!m_pName || !m_pCustomName || m_pCustomName->isChecked())
        return;
    m_pName->setText(AutoName());
}

QString HotKeyWin::Data() const
{
    switch (CurrentMode()) {
    case MouseMode: {
        QString data;
        for (int i = 0; i < 5; ++i) {
            if (m_pModifiers[i]->isChecked())
                data += QString::number(i + 1) + QLatin1Char('+');
        }
        for (QAbstractButton *b : m_pMouseButtons->buttons()) {
            if (b->isChecked())
                data += QString::number(m_pMouseButtons->id(b)) + QLatin1Char('+');
        }
        data.chop(1);
        return data;
    }
    case RunMode:
        return m_pPath->text();
    case FunctionMode:
        return m_pFunctions->checkedId() > 0 ? QString::number(m_pFunctions->checkedId()) : QString();
    case KeyboardMode:
        return m_Capture.Titles() + kSeparator + m_Capture.Pairs();
    default:
        return QString();
    }
}

QString HotKeyWin::CustomText() const
{
    const int mode = CurrentMode();
    // The form digit of each mode: mouse 0, keys 1, program 2, function 3.
    static const int kForm[4] = {0, 2, 3, 1};
    if (mode < 0 || mode > 3)
        return QString();
    // A "|" in the name would split the text into the wrong fields.
    QString name = Name();
    name.remove(kSeparator);
    return QString::number(kForm[mode]) + kSeparator + name + kSeparator + Data();
}

void HotKeyWin::accept()
{
    if (CurrentMode() == RunMode && m_pPath->text().contains(kSeparator)) {
        qWarning() << "HotKeyWin: a path with \"|\" cannot be stored:" << m_pPath->text();
        return;
    }
    m_strAccepted = CustomText();
    qInfo() << "HotKeyWin: custom function" << m_strAccepted;
    QDialog::accept();
}

void HotKeyWin::SetCustomText(const QString &text)
{
    const QStringList fields = text.split(kSeparator);
    const QString form = fields.value(0);
    const QString name = fields.value(1);
    m_Capture.Clear();
    for (QCheckBox *box : m_pModifiers)
        box->setChecked(false);
    for (QAbstractButton *b : m_pMouseButtons->buttons())
        b->setChecked(false);
    m_pPath->clear();
    if (form == QLatin1String("0") && fields.size() == 3) {
        SetMode(MouseMode);
        for (const QString &item : fields.at(2).split(QLatin1Char('+'), Qt::SkipEmptyParts))
            SetMouseItem(item.toInt(), true);
    } else if (form == QLatin1String("2") && fields.size() == 3) {
        SetMode(RunMode);
        m_pPath->setText(fields.at(2));
    } else if (form == QLatin1String("3") && fields.size() == 3) {
        SetMode(FunctionMode);
        SetFunction(fields.at(2).toInt());
    } else if (form == QLatin1String("1") && fields.size() == 4) {
        SetMode(KeyboardMode);
        m_Capture.SetTexts(fields.at(2), fields.at(3));
    } else {
        SetMode(KeyboardMode);
    }
    m_pTitles->setText(m_Capture.Titles());
    // A stored name other than the one the choices make was the user's own.
    m_pCustomName->setChecked(false);
    UpdateName();
    // Keyboard names made before the space came between label and keys were made too.
    const QString label = Text(QString::fromLatin1(kModeLabels[3].key), QString::fromLatin1(kModeLabels[3].fallback));
    const bool earlierAutoName = CurrentMode() == KeyboardMode && name == label + m_Capture.Titles();
    if (!name.isEmpty() && name != AutoName() && !earlierAutoName) {
        m_pCustomName->setChecked(true);
        m_pName->setText(name);
    }
}
