#include <iostream>

#include "cli/Cli.h"

int main(int argc, char** argv)
{
    return oculant::cli::run(argc, argv, std::cout, std::cerr);
}
