#pragma once
// ChannelSuite: the window for the station presets and the tuner: finds the tuner, keeps the
// presets file, tunes and zaps.

#include "kits/app/Messenger.h"
#include "kits/interface/Window.h"
#include "kits/media/MediaDefs.h"
#include "kits/storage/File.h"

#include <string>

class BDiscreteParameter;
class BListView;
class BBox;
class BButton;
class BMenuField;
class BSlider;
class BTextControl;
class TVView;
class qvChannelItem;

// The notice the channel suite posts to the video view's window when a station is selected.
enum : uint32 {
    // "Name": string, the station's preset name; "Preset": int32, its 1-based place in the list.
    MSG_STATION_CHANGED = 0x10015,
};

// The suite's own commands, sent by its controls to itself.
enum : uint32 {
    // The selection of "Presets" changed: the selected preset is tuned.
    SUITE_PRESET_SELECTED = 0x10000,
    // "Move up", "Move down": the selected preset changes places with its neighbour.
    SUITE_MOVE_UP = 0x10001,
    SUITE_MOVE_DOWN = 0x10002,
    // "Add": a preset on the current channel, named by "PresetName", before the selected one
    // (or at the end when the last or none is selected). "Remove": the selected one goes.
    SUITE_ADD = 0x10003,
    SUITE_REMOVE = 0x10004,
    // ">>>" widens the window to show the "Channel" and "Tuner" boxes; "<<<" narrows it again.
    SUITE_MORE = 0x10005,
    SUITE_LESS = 0x10006,
    // "PresetName" was edited: nothing happens until "Save" or "Add".
    SUITE_NAME_EDITED = 0x10007,
    // "Save": the selected preset takes the name, the current channel and the formats.
    SUITE_SAVE = 0x10008,
    // A video or audio format item; int32 "i", its position.
    SUITE_VIDEO_FORMAT = 0x10009,
    SUITE_AUDIO_FORMAT = 0x1000A,
    // The "Channel:" slider moved; the "Channel number:" text was entered.
    SUITE_CHANNEL_SLIDER = 0x1000B,
    SUITE_CHANNEL_TEXT = 0x1000C,
    // "Scan all": the presets are replaced by one per channel that carries a station.
    SUITE_SCAN_ALL = 0x1000D,
    // "Up", "Down": the next or previous channel, wrapping at the ends.
    SUITE_TUNE_UP = 0x1000E,
    SUITE_TUNE_DOWN = 0x1000F,
    // One channel of a scan; the suite posts it to itself.
    SUITE_SCAN_STEP = 0x10010,
};

// The channel suite window, created hidden by the main window and living until the application
// ends (closing it only hides it). It finds the capture card's tuner among the parameters of the
// default video input. With a tuner it shows, narrow, the "Stations" box: the "Presets" list
// (presetList) and its buttons; ">>>" widens it to show the "Channel" box (the preset's name and
// the format menus "VideoCombo" and "AudioCombo") and the "Tuner" box (the "Channel:" slider, the
// "Channel number:" text, "Up", "Down" and "Scan all"). It reads the presets file
// "/boot/home/config/settings/Media/presets" at its start and writes it back in its destructor;
// editing changes only memory until then. Without a tuner it shows only that the card has none,
// and its message loop never runs: then the application object deletes it, otherwise it quits it.
//
// The presets and the controls belong to this window's thread. ZapUp, ZapDown and GetPresetName
// are also called from the main window's thread, with this window locked by the caller. A zap
// selects; the selection command then tunes on this window's thread and tells the video view's
// window the station's name and number (MSG_STATION_CHANGED). A scan takes one channel per
// SUITE_SCAN_STEP and holds this window locked while the tuner settles and a frame is measured
// (the settle time plus at most 250 ms), so a caller locking it may wait that long.
//
// Lock order: the main window may lock this window while holding its own; this window never
// locks the main window.
class ChannelSuite : public BWindow {
public:
    // Finds the tuner, then writes 0 to *tunerStatus when the card has one and -1 when not.
    // view is the main window's video view, not owned; it may be null.
    ChannelSuite(TVView* view, int32* tunerStatus);
    // Writes the presets file (with a tuner) and gives back the video input node.
    ~ChannelSuite() override;

    // Hides the window and keeps it.
    bool QuitRequested() override;
    void MessageReceived(BMessage* message) override;

    // Selects the next (previous) preset, wrapping at the ends of the list, and returns its
    // label, "P " and its 1-based number with at least two digits ("P 07", "P 12"). With
    // nothing selected ZapUp goes to the first preset and ZapDown to the last. Empty, selecting
    // nothing, when the card has no usable tuner or there are no presets.
    std::string ZapUp();
    std::string ZapDown();
    // Selects the preset at index, wrapped into the list, as ZapUp does.
    std::string Zap(int32 index);
    // The selected preset's name; empty without a tuner or a selection.
    std::string GetPresetName() const;
    // The label of the tuner's channel at index (the "Channel" parameter's item name); empty
    // without a tuner or for an index out of range. Without an index: of currentChannel.
    std::string GetChannelName(int32 index) const;
    std::string GetChannelName() const;

    // Sets the formats that are not negative (marking them in their menus), then the channel,
    // wrapped into the channel list at both ends, then renegotiates the video view's connection;
    // returns the channel's label. Empty, changing nothing, without a tuner.
    std::string TuneChannel(int32 channel, int32 videoFormat, int32 audioFormat);
    // Mark the menu item at index and write it to the card; nothing without the parameter or
    // for an index outside the menu.
    void SetVideoFormat(int32 index);
    void SetAudioFormat(int32 index);
    // The position of the marked menu item; -1 without the parameter or a mark.
    int32 GetVideoFormat() const;
    int32 GetAudioFormat() const;
    // The menu fields "VideoCombo" and "AudioCombo" over frame, one item per format of the card
    // (or "No formats found", which does nothing, without the parameter), the card's current
    // one marked. The caller adds the field to a view, which then owns it.
    BMenuField* InitVideoFormat(BRect frame);
    BMenuField* InitAudioFormat(BRect frame);

    // The video view is about to go: tuning reconnects nothing afterwards. Called with this
    // window locked, so that no tuning is under way meanwhile.
    void DetachTVView();

    // How long each scan step lets the tuner settle before it measures the picture, in
    // microseconds: SCAN_SETTLE_TIME unless set. Called with this window locked.
    void SetScanSettleTime(bigtime_t settleTime);
    // The last channel a scan measures before it wraps to channel 0 and ends: the tuner's last
    // unless set. Called with this window locked.
    void SetScanLastChannel(int32 channel);

    // A tuned channel shows its picture after the reconnection once this has passed.
    static constexpr bigtime_t SCAN_SETTLE_TIME = 1000000;

private:
    enum : int32 {
        TUNER_NO_WEB = 0,
        TUNER_UNUSABLE = 1,
        TUNER_PRESENT = 2,
    };

    // Sets tunerState, the three parameters and currentChannel from the video input's web.
    void DiscoverTuner();
    // Makes the controls of the tuner page, in the window's "Background" view.
    void BuildTunerPage(BView* background);
    // Reads the presets file into presetList and selects the last preset on currentChannel. A
    // file that cannot be read leaves the list empty and is copied aside first.
    void LoadPresets();
    void SavePresets();
    // The preset selected in presetList, or null.
    qvChannelItem* SelectedPreset() const;
    // Tunes the selected preset and tells the video view's window.
    void PresetSelected();
    // The commands that change the list.
    void MovePreset(int32 offset);
    void AddPreset();
    void RemovePreset();
    void SavePreset();
    void ShowMore(bool more);
    // Tunes the channel with the label typed into "Channel number:".
    void TuneTypedChannel();
    void StartScan();
    // Measures the current channel, keeps it when it carries a station and tunes the next,
    // until the channels wrap to the first.
    void ScanStep();
    // The shared part of the format operations, on the given parameter and menu field.
    void SetFormat(BDiscreteParameter* parameter, BMenuField* field, int32 index);
    int32 GetFormat(BDiscreteParameter* parameter, BMenuField* field) const;
    BMenuField* InitFormat(BRect frame, BDiscreteParameter* parameter, const char* title,
        const char* name, const char* label, uint32 command);

    // Null once DetachTVView was called.
    TVView* tvView;
    // The window of the video view, told of every station change.
    BMessenger mainWindow;
    // Kept open for the window's life; saving replaces the file by name.
    BFile presetsFile;
    // False when the presets file could be neither read nor kept aside: then it is not written
    // over.
    bool presetsWritable = true;
    int32 currentChannel = 0;
    bigtime_t scanSettleTime = SCAN_SETTLE_TIME;
    // -1: every channel of the tuner.
    int32 scanLastChannel = -1;
    // True from "Scan all" until the channels wrap: a second "Scan all" meanwhile restarts the
    // one scan instead of running two, which would list every station twice.
    bool scanning = false;
    int32 tunerState = TUNER_UNUSABLE;
    // Parameters of the video input's web, which the media roster keeps for the life of the
    // process; null when the card lacks them.
    BDiscreteParameter* channelParam = nullptr;
    BDiscreteParameter* videoFormatParam = nullptr;
    BDiscreteParameter* audioFormatParam = nullptr;
    // The default video input; media_node::null when the roster offered none.
    media_node videoInput;
    // Owned by the window's views; null without a tuner page. stationList is presetList.
    BListView* stationList = nullptr;
    BBox* stationsBox = nullptr;
    BButton* moreLessButton = nullptr;
    BTextControl* presetName = nullptr;
    BMenuField* videoCombo = nullptr;
    BMenuField* audioCombo = nullptr;
    BSlider* channelSlider = nullptr;
    BTextControl* channelNumber = nullptr;
};
