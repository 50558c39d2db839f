// Runs the GUI tests inside one QApplication on the offscreen platform, in a
// German locale and with Qt's own settings kept in a folder of their own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <cstdlib>
#include <filesystem>

#include "support/fixtures.h"

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt sets the C library's locale from these at start-up.
    qputenv("LC_ALL", "de_DE.UTF-8");
    // The file dialog keeps its history in the user's configuration; keep
    // the tests' out of it.
    tessaly::test::TempDir config;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.Path("config")));
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(config.Root().string()));
    std::filesystem::permissions(config.Root(), std::filesystem::perms::owner_all);
    QDir().mkpath(QString::fromStdString(config.Path("config")));
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
