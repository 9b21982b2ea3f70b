#include "devices/DefaultNodes.h"

#include "devices/TestCardNode.h"
#include "kits/media/MediaDevices.h"

namespace devices {

status_t RegisterDefaultNodes()
{
    // The roster takes the creator's reference of the node it asks for.
    return media_register_default_node(MEDIA_DEFAULT_VIDEO_INPUT,
        [] { return static_cast<BMediaNode*>(new TestCardNode()); }, TEST_CARD_PRIORITY);
}

namespace {

// Registers the card as the program starts; this object is why programs link the library whole.
const status_t registration = RegisterDefaultNodes();

}

}
