#pragma once
// The stations tool: imports the station list of another TV program into the presets file, and
// lists the presets file.

#include "kits/kernel/SupportDefs.h"

#include <ostream>
#include <string>
#include <vector>

// A station as a station list names it: its channel by the frequency plan's label ("E7") and its
// TV norm ("PAL"), empty when the list gives none.
struct ListedStation {
    std::string name;
    std::string channel;
    std::string norm;
};

// Reads a station list in either form: the INI form (a "[global]" section with "freqtab", then
// one "[Station name]" section each with "channel = E7" and an optional "norm"; a norm in
// "[global]" or "[defaults]" serves the stations without one) or the XML form (a <list
// norm="PAL" frequencies="europe"> holding <station name="..." channel="E7" norm="..."/>, in the
// order of their "position"; stations with active="0" are left out). B_BAD_DATA when the text is
// neither.
[[nodiscard]] status_t ParseStationList(
    const std::string& text, std::vector<ListedStation>& stations);

// The names of the tuner's items, positions as the presets file counts them, and the formats the
// card is on (-1 without the parameter).
struct TunerItems {
    std::vector<std::string> channels;
    std::vector<std::string> videoFormats;
    std::vector<std::string> audioFormats;
    int32 videoFormat = -1;
    int32 audioFormat = -1;
};

// The items of the default video input's "Channel", "Video Format" and "Audio Format"; B_OK when
// it has a tuner: a "Channel" parameter and a "Tuner Brand" that is not 0, as the viewer asks.
[[nodiscard]] status_t ReadTunerItems(TunerItems& items);

// The position of the "Video Format" item a norm stands for, or -1: the item of the same name
// (case, blanks and punctuation aside: "pal-m" is "PAL-M"), else the first of the norm's family
// holding all its variants ("PAL-BG" is "PAL-B/G", "NTSC-JP" is "NTSC-M-JP"), else, for a bare
// family ("PAL"), its first item.
int32 FindVideoFormat(const std::string& norm, const std::vector<std::string>& formats);

// Runs the tool on its arguments (without the program name): "import FILE" adds the stations of
// FILE to the end of the presets file and lists those it could not map; "list" prints the presets
// file as a table. Failures go to `err`. Returns the process exit status.
int RunStations(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
