#pragma once
// WebNode: a node with the parameter web a test lays out, noting what is written to it.

#include "kits/media/Controllable.h"

#include <mutex>
#include <string>
#include <vector>

namespace test_support {

// A parameter of a WebNode: in group ("Output/Line" is the sub-group "Line" of "Output"), with
// no name for the group alone; continuous with a float per value, or discrete with one int32
// and items named "0" to items - 1.
struct WebParameter {
    std::string group;
    std::string name;
    bool continuous = true;
    float minimum = 0;
    float maximum = 0;
    std::vector<float> value = {0};
    int32 items = 0;
};

// Its parameter i is parameters[i], which reads its laid-out value whatever is written; each
// write is noted as the parameter's name and its values ("Luma Coring: 0", "Volume: 0 0"). The
// roster calls the hooks from any thread.
class WebNode : public BControllable {
public:
    explicit WebNode(const std::vector<WebParameter>& parameters);

    BMediaAddOn* AddOn(int32* internalID) const override;

    std::vector<std::string> Writes();

protected:
    status_t GetParameterValue(int32 id, bigtime_t* lastChange, void* value,
        size_t* ioSize) override;
    void SetParameterValue(int32 id, bigtime_t when, const void* value, size_t size) override;

private:
    const std::vector<WebParameter> parameters;
    std::mutex lock;
    // Guarded by lock.
    std::vector<std::string> writes;
};

} // namespace test_support
