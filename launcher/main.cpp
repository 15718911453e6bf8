#include "launcher/Launcher.h"

#include "common/ProgramFolder.h"

#include <iostream>

int main() {
    return mMain::RunLauncher(verolux::ProgramFolder(), std::cerr);
}
