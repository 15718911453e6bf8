// Fonts need a GUI application object; tests run it headless (QT_QPA_PLATFORM=offscreen).
#include "agent/reports/engine/ProgramFonts.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    verolux::reports::AddProgramFonts(); // the Windows build's tests: the font the programs ship
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
