#pragma once
// AudioOutputNode: the default audio output, whose web sets the volume of each sound source.

#include "devices/AudioMixer.h"
#include "kits/media/Controllable.h"

#include <memory>
#include <mutex>
#include <vector>

namespace devices {

// The system's audio output as the program controls it: a node without buffers whose web holds
// one top-level group, "Output", with one sub-group per source of its mixer, named after the
// source ("Master", "Line", "CD", "Mic", ... in the mixer's order). Each sub-group holds one
// continuous parameter, "Volume" (kind B_GAIN, B_MASTER_GAIN for "Master"), of two channels:
// its value is two floats, left then right, within the parameter's MinValue() to MaxValue(),
// which are the source's range in the mixer's own units. The parameter of sub-group i has id i.
// On a sound card's mono element both floats read the same value, and a write sets the mean.
//
// Reading asks the mixer, so a change made by another mixer program shows at the next read.
// Writing clamps each channel into the range and applies it at once, whatever its time; a
// value that is not a number leaves the volume alone. A value of another size than 8 bytes is
// refused by the parameter (B_BAD_VALUE) and never reaches the node.
//
// The node has no control thread: its hooks run on the thread reading or writing a parameter,
// any thread, each holding `mixerLock` (a leaf lock) around the mixer.
class AudioOutputNode : public BControllable {
public:
    // Takes ownership of `mixer`, which must not be null.
    explicit AudioOutputNode(std::unique_ptr<AudioMixer> mixer);
    ~AudioOutputNode() override;

    BMediaAddOn* AddOn(int32* internalId) const override;

protected:
    status_t GetParameterValue(
        int32 id, bigtime_t* lastChange, void* value, size_t* ioSize) override;
    void SetParameterValue(int32 id, bigtime_t when, const void* value, size_t size) override;

private:
    std::mutex mixerLock;
    // Guarded by mixerLock.
    std::unique_ptr<AudioMixer> mixer;
    // Guarded by mixerLock. The time of the last write of each source's volume.
    std::vector<bigtime_t> lastChanges;
};

}
