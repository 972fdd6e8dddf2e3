// Program entry of both deliverables.
#include "core/driver/startup.h"

int main(int argc, char **argv)
{
    return runProgram(argc, argv);
}
