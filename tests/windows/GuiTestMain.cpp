// The window tests run in one application object, on the offscreen platform unless
// another one is asked for.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

#include "Application.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qel::TApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
