#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv); // child processes are watched through the application
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
