#pragma once
// Messages made in one expression, for tests that send many of them.

#include "kits/app/AppDefs.h"
#include "kits/app/Message.h"
#include "kits/interface/InterfaceDefs.h"

#include <type_traits>

namespace test_support {

inline void AddFields(BMessage&) {}

template <typename T, typename... Rest>
void AddFields(BMessage& message, const char* name, T value, Rest... rest)
{
    if constexpr (std::is_same_v<T, bool>)
        (void)message.AddBool(name, value);
    else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>)
        (void)message.AddInt32(name, int32(value));
    else
        (void)message.AddString(name, value);
    AddFields(message, rest...);
}

// A message with fields given as name and value: a bool, an int32 or a string.
template <typename... Fields>
BMessage With(uint32 what, Fields... fields)
{
    BMessage message(what);
    AddFields(message, fields...);
    return message;
}

// A key pressed with the Command key, as the display delivers it.
inline BMessage CommandKeyDown(char key)
{
    const char bytes[] = {key, '\0'};
    return With(B_KEY_DOWN, "bytes", bytes, "modifiers", B_COMMAND_KEY);
}

} // namespace test_support
