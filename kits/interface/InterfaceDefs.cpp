#include "kits/interface/InterfaceDefs.h"

#include "kits/interface/DisplayBackend.h"

int32 current_workspace()
{
    return kits::interface::Display().CurrentWorkspace();
}
