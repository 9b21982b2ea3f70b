// Lock order: the alert's window lock, then the alert records' mutex.
#include "kits/interface/Alert.h"

#include "kits/app/Message.h"
#include "kits/interface/AlertTestHooks.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/Screen.h"
#include "kits/interface/View.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>

namespace {

// Posted to itself by an asynchronous alert that a test responder answers.
constexpr uint32 ASK_RESPONDER = FourCC("_ART");

constexpr float MARGIN = 10;
constexpr float ICON_COLUMN = 50;
constexpr float ICON_SIZE = 32;
constexpr float BUTTON_HEIGHT = 24;
constexpr float BUTTON_GAP = 8;
constexpr float USUAL_BUTTON_WIDTH = 75;
constexpr float BUTTON_PADDING = 20;
constexpr float MIN_WIDTH = 310;

struct Hooks {
    std::mutex lock;
    std::condition_variable answered;
    // Guarded by lock.
    kits::interface::AlertResponder responder;
    std::vector<kits::interface::AlertRecord> records;
    int64 firstRecord = 0;
};

Hooks& TheHooks()
{
    // Never destroyed: alerts may still finish while the program exits.
    static Hooks* hooks = new Hooks;
    return *hooks;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos)
            return lines;
        start = end + 1;
    }
}

float LineHeight()
{
    font_height height;
    be_plain_font->GetHeight(&height);
    return std::ceil(height.ascent + height.descent + height.leading);
}

rgb_color IconColor(alert_type type)
{
    switch (type) {
    case B_IDEA_ALERT:
        return {230, 200, 40, 255};
    case B_WARNING_ALERT:
        return {240, 150, 30, 255};
    case B_STOP_ALERT:
        return {200, 40, 40, 255};
    default:
        return {60, 110, 200, 255};
    }
}

// The alert's background: icon and text; it has the focus so that Enter reaches it.
class AlertView : public BView {
public:
    AlertView(BRect frame, BAlert* alert, std::vector<std::string> lines, alert_type type)
        :
        BView(frame, "alert text", B_FOLLOW_ALL_SIDES, B_WILL_DRAW),
        alert(alert),
        lines(std::move(lines)),
        type(type)
    {
        SetViewColor(232, 232, 232);
    }

    void Draw(BRect) override
    {
        float left = MARGIN;
        if (type != B_EMPTY_ALERT) {
            SetHighColor(IconColor(type));
            FillRect(BRect(MARGIN, MARGIN, MARGIN + ICON_SIZE - 1, MARGIN + ICON_SIZE - 1));
            left += ICON_COLUMN;
        }
        font_height height;
        be_plain_font->GetHeight(&height);
        SetHighColor(0, 0, 0);
        float baseline = MARGIN + std::round(height.ascent);
        for (const std::string& line : lines) {
            DrawString(line.c_str(), BPoint(left, baseline));
            baseline += LineHeight();
        }
    }

    void KeyDown(const char* bytes, int32) override
    {
        const uint8 key = uint8(bytes[0]);
        if (key == B_ENTER || (key == B_ESCAPE && alert->CountButtons() == 1))
            alert->ButtonPressed(alert->CountButtons() - 1);
    }

private:
    BAlert* alert;
    std::vector<std::string> lines;
    alert_type type;
};

class AlertButton : public BView {
public:
    AlertButton(BRect frame, const char* label, BAlert* alert, int32 index, bool isDefault)
        :
        BView(frame, label, B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM, B_WILL_DRAW),
        alert(alert),
        index(index),
        isDefault(isDefault)
    {
        SetViewColor(245, 245, 245);
    }

    void Draw(BRect) override
    {
        SetHighColor(90, 90, 90);
        StrokeRect(Bounds());
        if (isDefault) {
            BRect inner = Bounds();
            inner.InsetBy(1, 1);
            StrokeRect(inner);
        }
        font_height height;
        be_plain_font->GetHeight(&height);
        SetHighColor(0, 0, 0);
        const float width = StringWidth(Name());
        DrawString(Name(), BPoint(std::round((Bounds().Width() - width) / 2),
            std::round((Bounds().Height() + height.ascent - height.descent) / 2)));
    }

    void MouseDown(BPoint) override { alert->ButtonPressed(index); }

private:
    BAlert* alert;
    int32 index;
    bool isDefault;
};

}

namespace kits::interface {

void SetAlertResponder(AlertResponder responder)
{
    std::lock_guard guard(TheHooks().lock);
    TheHooks().responder = std::move(responder);
}

std::vector<AlertRecord> RecordedAlerts()
{
    std::lock_guard guard(TheHooks().lock);
    return TheHooks().records;
}

void ClearRecordedAlerts()
{
    Hooks& hooks = TheHooks();
    std::lock_guard guard(hooks.lock);
    hooks.firstRecord += int64(hooks.records.size());
    hooks.records.clear();
}

bool AwaitAnsweredAlerts(size_t count, bigtime_t timeout)
{
    Hooks& hooks = TheHooks();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::microseconds(timeout);
    std::unique_lock guard(hooks.lock);
    return hooks.answered.wait_until(guard, deadline, [&] {
        return std::count_if(hooks.records.begin(), hooks.records.end(),
            [](const AlertRecord& alert) { return alert.chosen >= 0; }) >= int64(count);
    });
}

}

BAlert::BAlert(const char* title, const char* text, const char* button0, const char* button1,
    const char* button2, button_width width, alert_type type)
    :
    BWindow(BRect(0, 0, MIN_WIDTH - 1, 99), title, B_MODAL_WINDOW,
        B_NOT_RESIZABLE | B_NOT_CLOSABLE | B_NOT_ZOOMABLE | B_NOT_MINIMIZABLE),
    text(text != nullptr ? text : ""),
    type(type),
    widthMode(width),
    pressed(create_sem(0, "alert button"))
{
    for (const char* label : {button0, button1, button2}) {
        if (label != nullptr)
            labels.emplace_back(label);
    }
    if (labels.empty())
        labels.emplace_back("");

    std::vector<float> widths;
    for (const std::string& label : labels) {
        const float labelWidth = std::ceil(be_plain_font->StringWidth(label.c_str()))
            + BUTTON_PADDING;
        widths.push_back(width == B_WIDTH_FROM_LABEL ? labelWidth
                                                     : std::max(labelWidth, USUAL_BUTTON_WIDTH));
    }
    if (width == B_WIDTH_FROM_WIDEST) {
        const float widest = *std::max_element(widths.begin(), widths.end());
        std::fill(widths.begin(), widths.end(), widest);
    }
    float buttonsWidth = BUTTON_GAP * float(widths.size() - 1);
    for (float buttonWidth : widths)
        buttonsWidth += buttonWidth;

    const std::vector<std::string> lines = SplitLines(this->text);
    const float textLeft = MARGIN + (type != B_EMPTY_ALERT ? ICON_COLUMN : 0);
    float textWidth = 0;
    for (const std::string& line : lines)
        textWidth = std::max(textWidth, std::ceil(be_plain_font->StringWidth(line.c_str())));
    const float contentWidth = std::max({MIN_WIDTH, textLeft + textWidth + MARGIN,
        buttonsWidth + 2 * MARGIN});
    const float textHeight = std::max(type != B_EMPTY_ALERT ? ICON_SIZE : 0.0f,
        LineHeight() * float(lines.size()));
    const float contentHeight = MARGIN + textHeight + MARGIN + BUTTON_HEIGHT + MARGIN;

    Lock();
    ResizeTo(contentWidth - 1, contentHeight - 1);
    const BRect screen = BScreen(this).Frame();
    MoveTo(std::round((screen.Width() - contentWidth) / 2),
        std::round((screen.Height() - contentHeight) / 3));
    auto* background = new AlertView(Bounds(), this, lines, type);
    AddChild(background);
    float right = contentWidth - MARGIN;
    const float top = contentHeight - MARGIN - BUTTON_HEIGHT;
    buttons.resize(labels.size());
    for (size_t i = labels.size(); i-- > 0;) {
        auto* button = new AlertButton(BRect(right - widths[i], top, right - 1,
            top + BUTTON_HEIGHT - 1), labels[i].c_str(), this, int32(i), i + 1 == labels.size());
        background->AddChild(button);
        buttons[i] = button;
        right -= widths[i] + BUTTON_GAP;
    }
    background->MakeFocus();
    Unlock();
}

BAlert::~BAlert()
{
    delete_sem(pressed);
    if (!synchronous && finished && done >= 0)
        release_sem(done);
}

int32 BAlert::Go()
{
    kits::interface::AlertResponder responder;
    const kits::interface::AlertRecord asked{Title(), text, type, widthMode, labels, -1};
    {
        Hooks& hooks = TheHooks();
        std::lock_guard guard(hooks.lock);
        responder = hooks.responder;
        if (responder) {
            record = hooks.firstRecord + int64(hooks.records.size());
            hooks.records.push_back(asked);
        }
    }
    Lock();
    synchronous = true;
    Unlock();
    int32 result;
    if (responder) {
        Lock();
        Finish(responder(asked));
        result = chosen;
    } else {
        Show();
        // Unbounded: only a button press ends an alert, and the alert's own thread, which
        // handles the press, never waits for this one.
        acquire_sem(pressed);
        Lock();
        result = chosen;
    }
    Quit();
    return result;
}

status_t BAlert::Go(sem_id doneSemaphore)
{
    bool answered;
    {
        Hooks& hooks = TheHooks();
        std::lock_guard guard(hooks.lock);
        answered = bool(hooks.responder);
        if (answered) {
            record = hooks.firstRecord + int64(hooks.records.size());
            hooks.records.push_back({Title(), text, type, widthMode, labels, -1});
        }
    }
    Lock();
    done = doneSemaphore;
    synchronous = false;
    if (answered)
        PostMessage(ASK_RESPONDER);
    else
        Show();
    Unlock();
    // An answered alert is never shown, but its thread must run to ask the responder.
    if (answered)
        Run();
    return B_OK;
}

const char* BAlert::Text() const
{
    return text.c_str();
}

alert_type BAlert::AlertType() const
{
    return type;
}

int32 BAlert::CountButtons() const
{
    return int32(labels.size());
}

BView* BAlert::ButtonAt(int32 index) const
{
    if (index < 0 || size_t(index) >= buttons.size())
        return nullptr;
    return buttons[size_t(index)];
}

void BAlert::ButtonPressed(int32 index)
{
    if (finished)
        return;
    Finish(index);
    if (synchronous)
        release_sem(pressed);
    else
        Quit();
}

void BAlert::Finish(int32 index)
{
    if (index < 0 || index >= CountButtons())
        index = CountButtons() - 1;
    finished = true;
    chosen = index;
    if (record < 0)
        return;
    Hooks& hooks = TheHooks();
    std::lock_guard guard(hooks.lock);
    const int64 at = record - hooks.firstRecord;
    if (at >= 0 && at < int64(hooks.records.size()))
        hooks.records[size_t(at)].chosen = index;
    hooks.answered.notify_all();
}

void BAlert::DispatchMessage(BMessage* message, BHandler* handler)
{
    if (message->what == ASK_RESPONDER && handler == this) {
        kits::interface::AlertResponder responder;
        kits::interface::AlertRecord asked;
        {
            Hooks& hooks = TheHooks();
            std::lock_guard guard(hooks.lock);
            responder = hooks.responder;
            const int64 at = record - hooks.firstRecord;
            if (at >= 0 && at < int64(hooks.records.size()))
                asked = hooks.records[size_t(at)];
        }
        // Without a responder any more, the last button answers, so the alert still ends.
        ButtonPressed(responder ? responder(asked) : CountButtons() - 1);
        return;
    }
    BWindow::DispatchMessage(message, handler);
}

bool BAlert::QuitRequested()
{
    return false;
}
