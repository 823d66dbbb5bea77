// Test entry: a Qt application object exists for the whole run, so tests can use
// signals, event loops and QStandardPaths. Widget tests get a QApplication.
#include <gtest/gtest.h>

#include <QTemporaryDir>

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
    // Every test program gets a runtime folder of its own (mode 0700): the per-user
    // shared memory, windows and single-instance sockets of parallel tests never meet,
    // nor those of an Inkora the developer is running.
    QTemporaryDir runtime;
    if (runtime.isValid())
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    TestApp app(argc, argv);
    return RUN_ALL_TESTS();
}
