// The libddcutil backend's worker on whatever this machine has (usually no DDC/CI
// monitor at all): the list is read once, requests for monitors that are not in it fail
// at once, and the worker stops with the backend.
#include "platform/ddc/linux/ddcutilbackend.h"

#include <gtest/gtest.h>

TEST(DdcutilBackendTest, UnknownMonitorsAndShutdown)
{
    auto backend = std::make_unique<DdcutilBackend>();
    const QVector<DdcDisplay> first = backend->displays();
    const QVector<DdcDisplay> second = backend->displays();
    ASSERT_EQ(first.size(), second.size());
    for (int i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].id, i);
        EXPECT_EQ(first[i].edid.size(), 128);
        EXPECT_EQ(first[i].edid, second[i].edid);
    }
    const int unknown = first.size();
    QByteArray caps;
    int current = -1;
    EXPECT_FALSE(backend->capabilities(unknown, &caps));
    EXPECT_FALSE(backend->getVcp(unknown, 0x10, &current, nullptr));
    EXPECT_FALSE(backend->setVcp(unknown, 0x10, 50));
    EXPECT_FALSE(backend->setVcp(-1, 0x10, 50));
    EXPECT_EQ(current, -1);
    backend.reset(); // joins the worker; a hang here fails the test by its time-out
}
