#pragma once
// Free functions of the interface kit that describe the desktop.

#include "kits/kernel/SupportDefs.h"

// The workspace shown now, from 0. Any thread may ask.
int32 current_workspace();
