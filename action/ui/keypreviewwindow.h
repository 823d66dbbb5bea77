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
    // The band at the bottom of the screen where the action captions show: the preview
    // stays above it.
    static constexpr int CaptionBand = 64;

    explicit KeyPreviewWindow(LanguageLookup texts = {}, QWidget *parent = nullptr);
    ~KeyPreviewWindow() override;

    // The key layout of the device: its number of keys, which also names the picture
    // (":/image/tablet/Pre_Keypad_H_%d.png").
    void SetKeyLayout(int keyCount);
    // Writes the keys of profile (its active key group when the device has groups).
    void SetProfile(const AppConfigNode &profile, bool keyGroups);

    // The text on each key, in key order, and the labels that carry it (on their keys).
    QStringList KeyTexts() const { return m_KeyTexts; }
    QVector<QLabel *> KeyLabels() const { return m_KeyLabels; }

    // The preview's top-left corner for a cursor at 'cursor': centred below the cursor, or
    // above it where below there is no room, inside 'screen' (the logical screen rectangle
    // of the cursor) and above its caption band.
    static QPoint Placement(const QPoint &cursor, const QRect &screen);

private:
    void Relayout();

    LanguageLookup m_Texts;
    int m_nKeyCount = 0;
    QLabel *m_pTitle = nullptr; // child
    QStringList m_KeyTexts;
    QLabel *m_pPicture = nullptr; // children
    QVector<QLabel *> m_KeyLabels;
};
