#pragma once
// Test backend of the input facility: records every mouse and key event; the
// swapped-buttons answer and a failure are set by the test.

#include "platform/input/inputinjector.h"

#include <QVector>

#include <functional>
#include <mutex>

class RecordingInputInjector : public InputInjector {
public:
    using MouseHandler = std::function<void(const MouseInput &)>;
    using KeyHandler = std::function<void(const KeyInput &)>;

    int sendMouse(const MouseInput *inputs, int count) override;
    int sendKeys(const KeyInput *inputs, int count) override;
    bool mouseButtonsSwapped() override;

    void setButtonsSwapped(bool swapped);
    void setFails(bool fails);
    // Called for each recorded event, under the recording's lock.
    void setMouseHandler(MouseHandler handler);
    void setKeyHandler(KeyHandler handler);
    QVector<KeyInput> keyEvents() const;

private:
    mutable std::mutex m_mutex; // guards everything below
    QVector<MouseInput> m_events;
    QVector<KeyInput> m_keys;
    MouseHandler m_handler;
    KeyHandler m_keyHandler;
    bool m_swapped = false;
    bool m_fails = false;
};
