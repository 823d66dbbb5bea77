#pragma once
// A private per-user folder with the default profiles (as for USB tablets) and a mock
// BlueZ of its own for every test, so no device of one test is paired in the next.

#include "mockbluezclient.h"
#include "tests/device_usb/usbtestenv.h"

#include "config/modeltables.h"
#include "sim/simbletablet.h"

#include <cstring>

class BleTestEnv : public UsbTestEnv {
protected:
    void SetUp() override
    {
        UsbTestEnv::SetUp();
        if (HasFatalFailure())
            return;
        m_mock = std::make_unique<MockBluez>();
        if (!m_mock->start())
            GTEST_SKIP() << m_mock->reason().toStdString();
    }

    static QString Library() { return qEnvironmentVariable("INKORA_BIN_DIR") + QStringLiteral("/libInkBLE"); }

    // A simulated Bluetooth tablet of the model with this product id, paired under name.
    std::unique_ptr<SimBleTablet> Pair(uint16_t productId, const QString &name)
    {
        const SimModel *model = SimBleModels::find(productId);
        EXPECT_NE(model, nullptr);
        if (!model)
            return nullptr;
        const int n = ++m_next;
        auto t = std::make_unique<SimBleTablet>(*model, name,
                                                QStringLiteral("C0:FF:EE:77:00:%1").arg(n, 2, 10, QLatin1Char('0')), n);
        const bool attached = t->attach();
        EXPECT_TRUE(attached) << t->reason().toStdString();
        return t;
    }

    // The model table's row with another friendly name.
    static BleModelEntry Entry(uint16_t productId, const char *name)
    {
        BleModelEntry e = *FindBleModel(productId);
        std::memset(e.bleName, 0, sizeof e.bleName);
        std::strncpy(e.bleName, name, sizeof e.bleName - 1);
        return e;
    }

    std::unique_ptr<MockBluez> m_mock; // outlives every tablet of the test
    int m_next = 0;
};
