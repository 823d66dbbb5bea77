#pragma once
// One action engine on recording services, with helpers to build key, pen-button and
// ring packets. Every injected key, mouse event, wait and program request lands in one
// ordered list of short texts, so a test states the order it expects in one line.

#include "action/actioncaption.h"
#include "action/actionsystem.h"
#include "action/caction.h"
#include "platform/foreground/fixedforegroundbackend.h"
#include "platform/input/recordinginputinjector.h"

#include <QSignalSpy>
#include <QStringList>

#include <cstring>
#include <memory>

struct ActionHarness {
    RecordingInputInjector input;
    FixedForegroundBackend foreground;
    RecordingActionSystem system;
    CAction action{2};
    DeviceAttributes attributes{};
    std::unique_ptr<TabletXMLData> profile = std::make_unique<TabletXMLData>();
    AppConfigMap apps;
    std::vector<std::unique_ptr<AppConfigNode>> nodes;
    TabletPacket packet{};
    QStringList events;
    QSignalSpy captions{ActionCaption::MyLrc(), &ActionCaption::EmitAction};
    QSignalSpy numberMessages{&action, qOverload<int, int, int>(&CAction::PostActionMsg)};
    QSignalSpy textMessages{&action, qOverload<int, int, QString>(&CAction::PostActionMsg)};

    ActionHarness()
    {
        attributes.MaxX = 21600;
        attributes.MaxY = 13500;
        attributes.MaxPressure = 8191;
        action.SetServices(&input, &foreground, &system);
        input.setKeyHandler([this](const KeyInput &k) {
            events << QStringLiteral("key %1:%2%3 %4")
                          .arg(k.vk)
                          .arg(k.scan)
                          .arg((k.flags & KeyExtended) ? QStringLiteral("e") : QString())
                          .arg((k.flags & KeyUp) ? QStringLiteral("up") : QStringLiteral("down"));
        });
        input.setMouseHandler([this](const MouseInput &m) {
            events << QStringLiteral("mouse 0x%1 %2").arg(m.flags, 0, 16).arg(m.data);
        });
        system.SetHandler([this](const RecordingActionSystem::Request &r) {
            switch (r.kind) {
            case RecordingActionSystem::Request::Run: events << QStringLiteral("run ") + r.text; break;
            case RecordingActionSystem::Request::Open: events << QStringLiteral("open ") + r.text; break;
            case RecordingActionSystem::Request::Wait: events << QStringLiteral("wait %1").arg(r.ms); break;
            }
        });
    }

    MultiData run() { return action.ProcessPacket(packet, attributes, *profile, apps); }

    // Key number `number` (1..40) goes to `down` in a packet of its own.
    MultiData key(int number, bool down)
    {
        packet = TabletPacket{};
        packet.flags = PacketKeys;
        std::memcpy(packet.prevKeys, m_keys, sizeof m_keys);
        m_keys[number - 1] = down ? 1 : 0;
        std::memcpy(packet.keys, m_keys, sizeof m_keys);
        return run();
    }
    void press(int number)
    {
        key(number, true);
        key(number, false);
    }

    void ring(int index, int delta)
    {
        packet = TabletPacket{};
        packet.flags = PacketRing;
        packet.ringIndex = int16_t(index);
        packet.ringDelta = int16_t(delta);
        run();
    }

    void penButton(int number, bool down)
    {
        packet = TabletPacket{};
        packet.flags = PacketPenButton;
        packet.penButtonNo = uint8_t(number);
        packet.penButtonDown = down ? 1 : 0;
        run();
    }

    // Entry `index` of a key set (a profile's or a group's) answers to key number
    // index + 1.
    template <typename KeySet>
    KeyConfig &bind(KeySet &app, int index, int actId)
    {
        KeyConfig &k = app.keys[index];
        k.Motid = int16_t(index + 1);
        k.id = 0;
        k.Actid = int16_t(actId);
        return k;
    }
    template <typename KeySet>
    KeyConfig &bindCustom(KeySet &app, int index, const char *text)
    {
        KeyConfig &k = bind(app, index, 0);
        k.id = 1;
        std::strncpy(k.custom, text, sizeof k.custom - 1);
        return k;
    }

    AppConfigNode &addApp(const char *path)
    {
        nodes.push_back(std::make_unique<AppConfigNode>());
        AppConfigNode &node = *nodes.back();
        std::memcpy(&node, &profile->CommonAPP, sizeof node);
        std::strncpy(node.path, path, sizeof node.path - 1);
        apps[QString::fromUtf8(path)] = &node;
        return node;
    }
    void setForeground(const QString &path, const QString &windowClass = QString())
    {
        ForegroundWindow w;
        w.path = path;
        w.windowClass = windowClass;
        w.pid = 4242;
        foreground.set(w);
    }

    QStringList captionTexts() const
    {
        QStringList texts;
        for (const QList<QVariant> &c : captions)
            texts << c.at(0).toString();
        return texts;
    }
    QStringList usageRecords() const
    {
        QStringList records;
        for (const QList<QVariant> &m : textMessages) {
            if (m.at(1).toInt() == kMsgUsageRecord)
                records << m.at(2).toString();
        }
        return records;
    }
    // (id, data) of the number messages.
    QList<QPair<int, int>> messages() const
    {
        QList<QPair<int, int>> list;
        for (const QList<QVariant> &m : numberMessages)
            list << qMakePair(m.at(1).toInt(), m.at(2).toInt());
        return list;
    }
    void clear()
    {
        events.clear();
        captions.clear();
        numberMessages.clear();
        textMessages.clear();
    }

private:
    uint8_t m_keys[kTabletKeyCount] = {};
};
