#pragma once
// A private per-user folder holding the installation's default profile file, so USB
// tablets opened in a test load real profiles without touching the user's own.

#include "device/tablettable.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

class UsbTestEnv : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        qputenv("XDG_CONFIG_HOME", m_home.path().toLocal8Bit());
        const QString data = m_home.path() + QStringLiteral("/Inkora V3");
        ASSERT_TRUE(QDir().mkpath(data));
        const QString defaults = qEnvironmentVariable("INKORA_BIN_DIR") + QStringLiteral("/config/config.xml");
        ASSERT_TRUE(QFile::copy(defaults, data + QStringLiteral("/config.xml"))) << defaults.toStdString();
        m_names = std::make_unique<QSettings>(data + QStringLiteral("/names.ini"), QSettings::IniFormat);
        TabletTable::ClearAll();
    }
    void TearDown() override { TabletTable::ClearAll(); }

    QTemporaryDir m_home;
    std::unique_ptr<QSettings> m_names;
};
