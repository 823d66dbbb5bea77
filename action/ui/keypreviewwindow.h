#pragma once
// The key preview (action 111): a frameless picture of the device's key pad with the
// action of every key written on it, shown near the cursor and closed with its close
// button. GUI thread only.

#include "action/actionservices.h"

#include <QLabel>
#include <QStringList>
#include <QVector>
#include <QWidget>

struct AppConfigNode;
struct TabletXMLData;

class KeyPreviewWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int PreviewWidth = 800;
    static constexpr int PreviewHeight = 450;

    explicit KeyPreviewWindow(LanguageLookup texts = {}, QWidget *parent = nullptr);
    ~KeyPreviewWindow() override;

    // The key layout of the device: number of keys and the picture variant
    // (":/image/tablet/Pre_Keypad_H_%d.png").
    void SetKeyLayout(int keyCount, int picture);
    // Writes the keys of profile (its active key group when the device has groups).
    void SetProfile(const AppConfigNode &profile, bool keyGroups);

    // The text on each key, in key order.
    QStringList KeyTexts() const { return m_KeyTexts; }

    // The preview's top-left corner for a cursor at 'cursor': the window stays inside
    // 'screen' (the logical screen rectangle of the cursor).
    static QPoint Placement(const QPoint &cursor, const QRect &screen);

private:
    void Relayout();

    LanguageLookup m_Texts;
    int m_nKeyCount = 0;
    QStringList m_KeyTexts;
    QLabel *m_pPicture = nullptr; // children
    QVector<QLabel *> m_KeyLabels;
};
