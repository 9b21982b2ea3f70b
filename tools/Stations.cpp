#include "tools/Stations.h"

#include "kits/media/DiscreteParameter.h"
#include "kits/media/MediaRoster.h"
#include "kits/media/ParameterWeb.h"
#include "video/ParameterAccess.h"
#include "video/StationPresets.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

namespace {

// Station lists are text files of a few kilobytes; this keeps a wrong path from filling memory.
constexpr std::streamsize MAX_LIST_SIZE = 1 << 20;

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string Upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
        [](unsigned char c) { return char(std::toupper(c)); });
    return text;
}

bool SameName(const std::string& a, const std::string& b)
{
    return Upper(a) == Upper(b);
}

status_t ParseIni(const std::string& text, std::vector<ListedStation>& stations)
{
    std::istringstream lines(text);
    std::string line;
    std::string defaultNorm;
    // Null inside the global sections.
    ListedStation* station = nullptr;
    bool sawSection = false;
    std::vector<ListedStation> parsed;
    while (std::getline(lines, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;
        if (line.front() == '[') {
            if (line.back() != ']')
                return B_BAD_DATA;
            const std::string section = Trim(line.substr(1, line.size() - 2));
            sawSection = true;
            station = nullptr;
            if (section != "global" && section != "defaults") {
                parsed.push_back({section, {}, {}});
                station = &parsed.back();
            }
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos || !sawSection)
            return B_BAD_DATA;
        const std::string key = Trim(line.substr(0, equals));
        const std::string value = Trim(line.substr(equals + 1));
        if (station == nullptr) {
            if (key == "norm")
                defaultNorm = value;
        } else if (key == "channel") {
            station->channel = value;
        } else if (key == "norm") {
            station->norm = value;
        }
    }
    if (!sawSection)
        return B_BAD_DATA;
    for (ListedStation& listed : parsed) {
        if (listed.norm.empty())
            listed.norm = defaultNorm;
    }
    stations = std::move(parsed);
    return B_OK;
}

std::string DecodeEntities(const std::string& text)
{
    static const std::map<std::string, std::string> names
        = {{"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"apos", "'"}};
    std::string decoded;
    for (size_t i = 0; i < text.size(); i++) {
        const size_t end = text[i] == '&' ? text.find(';', i) : std::string::npos;
        if (end == std::string::npos) {
            decoded += text[i];
            continue;
        }
        const std::string entity = text.substr(i + 1, end - i - 1);
        if (const auto found = names.find(entity); found != names.end()) {
            decoded += found->second;
        } else if (entity.size() > 1 && entity[0] == '#') {
            const bool hex = entity[1] == 'x';
            uint32 code = 0;
            const char* first = entity.data() + (hex ? 2 : 1);
            const auto [rest, error]
                = std::from_chars(first, entity.data() + entity.size(), code, hex ? 16 : 10);
            if (error != std::errc() || rest != entity.data() + entity.size() || code > 0x10FFFF)
                return text;
            // As UTF-8, one to four bytes.
            if (code < 0x80) {
                decoded += char(code);
            } else if (code < 0x800) {
                decoded += char(0xC0 | (code >> 6));
                decoded += char(0x80 | (code & 0x3F));
            } else if (code < 0x10000) {
                decoded += char(0xE0 | (code >> 12));
                decoded += char(0x80 | ((code >> 6) & 0x3F));
                decoded += char(0x80 | (code & 0x3F));
            } else {
                decoded += char(0xF0 | (code >> 18));
                decoded += char(0x80 | ((code >> 12) & 0x3F));
                decoded += char(0x80 | ((code >> 6) & 0x3F));
                decoded += char(0x80 | (code & 0x3F));
            }
        } else {
            decoded += text[i];
            continue;
        }
        i = end;
    }
    return decoded;
}

// The attributes of one tag's text (without its angle brackets), or false when malformed.
bool ParseAttributes(const std::string& tag, std::map<std::string, std::string>& attributes)
{
    size_t i = tag.find_first_of(" \t\r\n");
    while (i != std::string::npos && i < tag.size()) {
        i = tag.find_first_not_of(" \t\r\n/", i);
        if (i == std::string::npos)
            break;
        const size_t equals = tag.find('=', i);
        if (equals == std::string::npos)
            return false;
        const std::string name = Trim(tag.substr(i, equals - i));
        const size_t open = tag.find_first_not_of(" \t\r\n", equals + 1);
        if (open == std::string::npos || (tag[open] != '"' && tag[open] != '\''))
            return false;
        const size_t close = tag.find(tag[open], open + 1);
        if (close == std::string::npos)
            return false;
        attributes[name] = DecodeEntities(tag.substr(open + 1, close - open - 1));
        i = close + 1;
    }
    return true;
}

status_t ParseXml(const std::string& text, std::vector<ListedStation>& stations)
{
    std::string listNorm;
    bool sawList = false;
    // Stable on the position: stations without one keep their place among equals.
    std::vector<std::pair<int32, ListedStation>> parsed;
    for (size_t open = text.find('<'); open != std::string::npos; open = text.find('<', open)) {
        const size_t close = text.find('>', open);
        if (close == std::string::npos)
            return B_BAD_DATA;
        const std::string tag = text.substr(open + 1, close - open - 1);
        open = close;
        const std::string element = tag.substr(0, tag.find_first_of(" \t\r\n/"));
        if (element != "list" && element != "station")
            continue;
        std::map<std::string, std::string> attributes;
        if (!ParseAttributes(tag, attributes))
            return B_BAD_DATA;
        if (element == "list") {
            sawList = true;
            listNorm = attributes["norm"];
            continue;
        }
        if (attributes["active"] == "0")
            continue;
        int32 position = 0;
        const std::string& place = attributes["position"];
        (void)std::from_chars(place.data(), place.data() + place.size(), position);
        parsed.push_back(
            {position, {attributes["name"], attributes["channel"], attributes["norm"]}});
    }
    if (!sawList)
        return B_BAD_DATA;
    std::stable_sort(parsed.begin(), parsed.end(),
        [](const auto& a, const auto& b) { return a.first < b.first; });
    stations.clear();
    for (auto& [position, station] : parsed) {
        if (station.norm.empty())
            station.norm = listNorm;
        stations.push_back(std::move(station));
    }
    return B_OK;
}

// A TV norm's family and variants: "PAL-B/G" is PAL with B and G, "NTSC-M-JP" NTSC with M and
// JP. A variant written as one run of letters ("BG", "DK") stands for each of them as well.
struct Norm {
    std::string family;
    std::vector<std::string> variants;
};

Norm SplitNorm(const std::string& name)
{
    Norm norm;
    std::string token;
    const std::string upper = Upper(name) + "-";
    for (char c : upper) {
        if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
            token += c;
            continue;
        }
        if (token.empty())
            continue;
        if (norm.family.empty())
            norm.family = token;
        else
            norm.variants.push_back(token);
        token.clear();
    }
    return norm;
}

bool HoldsVariants(const Norm& item, const Norm& wanted)
{
    auto has = [&](const std::string& variant) {
        return std::find(item.variants.begin(), item.variants.end(), variant)
            != item.variants.end();
    };
    return std::all_of(wanted.variants.begin(), wanted.variants.end(), [&](const std::string& v) {
        return has(v)
            || std::all_of(v.begin(), v.end(), [&](char c) { return has(std::string(1, c)); });
    });
}

std::string Joined(const Norm& norm)
{
    std::string joined = norm.family;
    for (const std::string& variant : norm.variants)
        joined += variant;
    return joined;
}

std::string ReadList(const std::string& path, std::ostream& err, bool& ok)
{
    std::ifstream file(path, std::ios::binary);
    std::string text;
    if (file) {
        text.resize(size_t(MAX_LIST_SIZE) + 1);
        file.read(text.data(), MAX_LIST_SIZE + 1);
        text.resize(size_t(file.gcount()));
    }
    ok = !file.bad() && (file.good() || file.eof()) && text.size() <= size_t(MAX_LIST_SIZE);
    if (!ok)
        err << "stations: cannot read " << path << "\n";
    return text;
}

std::string ItemName(const std::vector<std::string>& names, int32 position)
{
    if (position < 0)
        return "-";
    if (size_t(position) < names.size())
        return names[size_t(position)];
    return "#" + std::to_string(position);
}

int Import(const std::string& path, std::ostream& out, std::ostream& err)
{
    bool ok = false;
    const std::string text = ReadList(path, err, ok);
    if (!ok)
        return 1;
    std::vector<ListedStation> listed;
    if (ParseStationList(text, listed) != B_OK) {
        err << "stations: " << path << " is no station list\n";
        return 1;
    }
    TunerItems tuner;
    if (ReadTunerItems(tuner) != B_OK) {
        err << "stations: the video input has no tuner, so no channel can be mapped\n";
        return 1;
    }
    std::vector<video::StationPreset> presets;
    if (status_t status = video::ReadPresets(video::PRESETS_PATH, presets);
        status != B_OK && status != B_ENTRY_NOT_FOUND) {
        err << "stations: the presets file cannot be read; nothing was written\n";
        return 1;
    }
    size_t imported = 0;
    for (const ListedStation& station : listed) {
        const auto channel = std::find_if(tuner.channels.begin(), tuner.channels.end(),
            [&](const std::string& item) { return SameName(item, station.channel); });
        if (channel == tuner.channels.end()) {
            out << "not imported: " << station.name << " (channel \"" << station.channel
                << "\" is not in the tuner's plan)\n";
            continue;
        }
        int32 videoFormat = tuner.videoFormat;
        if (!station.norm.empty()) {
            if (const int32 found = FindVideoFormat(station.norm, tuner.videoFormats); found >= 0)
                videoFormat = found;
            else
                out << "norm kept as the card's: " << station.name << " (norm \"" << station.norm
                    << "\" is not among the card's video formats)\n";
        }
        presets.push_back({station.name, int32(channel - tuner.channels.begin()), videoFormat,
            tuner.audioFormat});
        imported++;
    }
    if (status_t status = video::WritePresets(video::PRESETS_PATH, presets); status != B_OK) {
        err << "stations: the presets file cannot be written; it is as it was\n";
        return 1;
    }
    out << "imported " << imported << " of " << listed.size() << " stations\n";
    return 0;
}

int List(std::ostream& out, std::ostream& err)
{
    std::vector<video::StationPreset> presets;
    if (status_t status = video::ReadPresets(video::PRESETS_PATH, presets);
        status != B_OK && status != B_ENTRY_NOT_FOUND) {
        err << "stations: the presets file cannot be read\n";
        return 1;
    }
    // Without a tuner the positions stand for themselves.
    TunerItems tuner;
    (void)ReadTunerItems(tuner);
    char line[256];
    std::snprintf(line, sizeof(line), "%-5s %-8s %-14s %-14s %s\n", "No.", "Channel",
        "Video format", "Audio format", "Name");
    out << line;
    for (size_t i = 0; i < presets.size(); i++) {
        const video::StationPreset& preset = presets[i];
        std::snprintf(line, sizeof(line), "P%02zu   %-8s %-14s %-14s ", i + 1,
            ItemName(tuner.channels, preset.channel).c_str(),
            ItemName(tuner.videoFormats, preset.videoFormat.value_or(-1)).c_str(),
            ItemName(tuner.audioFormats, preset.audioFormat.value_or(-1)).c_str());
        out << line << preset.name << "\n";
    }
    return 0;
}

}

status_t ParseStationList(const std::string& text, std::vector<ListedStation>& stations)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first != std::string::npos && text[first] == '<')
        return ParseXml(text, stations);
    return ParseIni(text, stations);
}

status_t ReadTunerItems(TunerItems& items)
{
    BMediaRoster* roster = BMediaRoster::Roster();
    media_node input;
    BParameterWeb* web = nullptr;
    if (roster == nullptr || roster->GetVideoInput(&input) != B_OK)
        return B_MEDIA_BAD_NODE;
    const status_t status = roster->GetParameterWebFor(input, &web);
    (void)roster->ReleaseNode(input);
    if (status != B_OK || web == nullptr)
        return B_MEDIA_BAD_NODE;
    auto names = [](BDiscreteParameter* parameter) {
        std::vector<std::string> list;
        for (int32 i = 0; parameter != nullptr && i < parameter->CountItems(); i++)
            list.emplace_back(parameter->ItemNameAt(i));
        return list;
    };
    const video::TunerParameters tuner = video::FindTunerParameters(web);
    if (tuner.channel == nullptr || !video::TunerFitted(web))
        return B_MEDIA_BAD_NODE;
    TunerItems found;
    found.channels = names(tuner.channel);
    found.videoFormats = names(tuner.videoFormat);
    (void)video::ReadDiscreteValue(tuner.videoFormat, &found.videoFormat);
    found.audioFormats = names(tuner.audioFormat);
    (void)video::ReadDiscreteValue(tuner.audioFormat, &found.audioFormat);
    items = std::move(found);
    return B_OK;
}

int32 FindVideoFormat(const std::string& norm, const std::vector<std::string>& formats)
{
    const Norm wanted = SplitNorm(norm);
    if (wanted.family.empty())
        return -1;
    std::vector<Norm> items;
    for (const std::string& format : formats)
        items.push_back(SplitNorm(format));
    for (size_t i = 0; i < items.size(); i++) {
        if (Joined(items[i]) == Joined(wanted))
            return int32(i);
    }
    for (size_t i = 0; i < items.size(); i++) {
        if (items[i].family == wanted.family && HoldsVariants(items[i], wanted)
            && !wanted.variants.empty()) {
            return int32(i);
        }
    }
    for (size_t i = 0; i < items.size() && wanted.variants.empty(); i++) {
        if (items[i].family == wanted.family)
            return int32(i);
    }
    return -1;
}

int RunStations(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.size() == 2 && args[0] == "import")
        return Import(args[1], out, err);
    if (args.size() == 1 && args[0] == "list")
        return List(out, err);
    err << "usage: stations import FILE | stations list\n";
    return 2;
}
