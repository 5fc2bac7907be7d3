#include "cli/CliApp.h"
#include "cli/CliHost.h"
#include "platform/ThisProcess.h"

#include <QCoreApplication>
#include <iostream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    cli::InstallInterruptHandler();
    platform::PrepareConsole();
    const std::vector<std::string> args = platform::CommandLineArguments(argc, argv);
    return cli::RunCli(args, std::cout, std::cerr, std::cin,
                       platform::IsTerminal(platform::StandardStream::Input));
}
