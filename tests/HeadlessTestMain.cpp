// The test programs that show no widget run with a QCoreApplication, as the
// command line does: text conversion, settings and paths behave as in the
// program, and nothing of Qt Gui is loaded.
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
