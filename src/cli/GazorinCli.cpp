// gazorin-cli: the joins and exports of the desktop program, from the command line.

#include "cli/CliArguments.h"
#include "cli/CliExport.h"
#include "cli/CliJoin.h"
#include "platform/WorkerPool.h"
#include "susie/WinePlugin.h"

#include <iostream>

using namespace gz;
using namespace gz::cli;

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = ParseCommandLine(args);
    if (const auto* error = std::get_if<TUsageError>(&parsed)) {
        std::cerr << "gazorin-cli: " << error->message << "\nTry 'gazorin-cli --help'.\n";
        return 2;
    }
    const auto& cmd = std::get<TCommandLine>(parsed);
    if (cmd.help) {
        std::cout << UsageText;
        return 0;
    }
    if (cmd.version) {
        std::cout << "gazorin-cli 2.3\n" << gz::WindowsPluginSupport() << "\n";
        return 0;
    }
    SetWorkerThreads(cmd.threads);
    RegisterCliFormats();
    const int status = RunJoin(cmd);
    UnregisterCliFormats();
    return status;
}
