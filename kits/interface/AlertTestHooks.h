#pragma once
// Test hooks: records alerts and answers them without a display.

#include "kits/interface/Alert.h"

#include <functional>
#include <string>
#include <vector>

namespace kits::interface {

// One alert as it was shown, and the button that answered it (-1 while unanswered).
struct AlertRecord {
    std::string title;
    std::string text;
    alert_type type = B_INFO_ALERT;
    button_width width = B_WIDTH_AS_USUAL;
    std::vector<std::string> buttons;
    int32 chosen = -1;
};

// Given the alert as recorded, the index of the button to press. Called on the thread that calls
// the synchronous Go, or on the alert's own thread for the asynchronous one; it may block until
// the test decides, and must not show another alert.
using AlertResponder = std::function<int32(const AlertRecord& alert)>;

// While a responder is set, every alert is recorded and answered by it instead of waiting for a
// press (an index outside the buttons counts as the last button); nothing is shown. An empty
// function removes it. Any thread may call these.
void SetAlertResponder(AlertResponder responder);
// Every alert recorded since the last clear, in the order they were shown.
std::vector<AlertRecord> RecordedAlerts();
void ClearRecordedAlerts();
// Waits until count alerts are recorded and answered, up to timeout microseconds.
bool AwaitAnsweredAlerts(size_t count, bigtime_t timeout);

}
