// Test entry: a Qt application object exists for the whole run, so tests can use
// signals, event loops and QStandardPaths. Widget tests get a QApplication.
#include <gtest/gtest.h>

#ifdef INKORA_TEST_GUI
#include <QApplication>
using TestApp = QApplication;
#else
#include <QCoreApplication>
using TestApp = QCoreApplication;
#endif

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    TestApp app(argc, argv);
    return RUN_ALL_TESTS();
}
