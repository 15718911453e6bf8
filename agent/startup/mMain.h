#pragma once

#include <QString>

#include <filesystem>

namespace mMain {

struct Arguments {
    QString port = QStringLiteral("28502"); // initial text of the port box
    int portCount = 10;                     // ports tried from it on: 28502-28511 unless one is given
    bool help = false;
    bool version = false;
};

// The agent's entry procedure: returns the process exit code. Ends at once unless the settings ask
// this process to become the running agent.
int Main(int argc, char** argv);

} // namespace mMain
