#include "cli/CliApp.h"
#include "cli/CliHost.h"

#include <QCoreApplication>
#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    cli::InstallInterruptHandler();
    std::vector<std::string> args(argv + 1, argv + argc);
    return cli::RunCli(args, std::cout, std::cerr, std::cin, isatty(STDIN_FILENO) != 0);
}
