// msgdump: lists or rewrites a flattened message file; see MessageDump.h.

#include "tools/MessageDump.h"

#include <iostream>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunMsgdump(args, std::cout, std::cerr);
}
