// stations: the station presets the viewer zaps through.
//
//     stations import FILE   adds the stations of another TV program's station list (its INI or
//                            XML form) to the presets, mapped onto the tuner's channels and
//                            video formats; lists those it could not map
//     stations list          prints the presets as a table
//
// The presets file is "/boot/home/config/settings/Media/presets". The viewer writes it when it
// ends, so import while the viewer is not running.

#include "devices/DefaultNodes.h"
#include "tools/Stations.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    // Without a capture card the test signal card stands in, and import maps onto its tuner.
    (void)devices::RegisterDefaultNodes();
    return RunStations(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
