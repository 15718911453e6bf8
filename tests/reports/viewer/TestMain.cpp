#include "agent/reports/engine/ProgramFonts.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Headless unless a display is asked for explicitly (test discovery runs without the test's environment).
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    verolux::reports::AddProgramFonts(); // the Windows build's tests: the font the programs ship
    return RUN_ALL_TESTS();
}
