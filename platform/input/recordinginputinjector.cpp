#include "platform/input/recordinginputinjector.h"

int RecordingInputInjector::sendMouse(const MouseInput *inputs, int count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fails || !inputs || count <= 0)
        return 0;
    for (int i = 0; i < count; ++i) {
        m_events.append(inputs[i]);
        if (m_handler)
            m_handler(inputs[i]);
    }
    return count;
}

int RecordingInputInjector::sendKeys(const KeyInput *inputs, int count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fails || !inputs || count <= 0)
        return 0;
    for (int i = 0; i < count; ++i) {
        m_keys.append(inputs[i]);
        if (m_keyHandler)
            m_keyHandler(inputs[i]);
    }
    return count;
}

bool RecordingInputInjector::mouseButtonsSwapped()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_swapped;
}

void RecordingInputInjector::setButtonsSwapped(bool swapped)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_swapped = swapped;
}

void RecordingInputInjector::setFails(bool fails)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fails = fails;
}

void RecordingInputInjector::setMouseHandler(MouseHandler handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handler = std::move(handler);
}

void RecordingInputInjector::setKeyHandler(KeyHandler handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_keyHandler = std::move(handler);
}

QVector<KeyInput> RecordingInputInjector::keyEvents() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_keys;
}
