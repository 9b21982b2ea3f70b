#pragma once
// The text of the About box, shown by the application and by a replicant of its picture.

inline constexpr const char* ABOUT_TEXT =
    "Ovelin, a windowed and fullscreen TV viewer.\n"
    "Version: Beta 4\n"
    "\n"
    "Built by the Ovelin developers.\n"
    "Test pictures by the built-in test-signal card.";
