#include "window/ControlPanel.h"

#include "kits/app/Looper.h"
#include "kits/interface/Font.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/Window.h"
#include "window/Commands.h"

#include <iterator>

namespace {

constexpr rgb_color FACE = {192, 192, 192, 0};
constexpr rgb_color GREY = {128, 128, 128, 0};
constexpr rgb_color DARK_GREY = {64, 64, 64, 0};
constexpr rgb_color DISPLAY_RED = {64, 0, 0, 0};
constexpr rgb_color ICON_GREEN = {0, 128, 0, 0};
constexpr rgb_color RED = {128, 0, 0, 0};
constexpr rgb_color BLUE = {0, 0, 128, 0};
constexpr rgb_color NAVY = {0, 0, 64, 0};

// The sections, in view coordinates; the bottom panel's depends on the view's height.
constexpr BRect STATION_DISPLAY(7, 10, 72, 51);
constexpr BRect BUTTON_PAD(7, 60, 72, 150);
constexpr BRect FULL_SCREEN_BUTTON(7, 160, 72, 175);
constexpr BRect FORMAT_4_3_BUTTON(7, 180, 72, 195);
constexpr BRect FORMAT_16_9_BUTTON(7, 200, 72, 215);

BRect BottomPanel(BRect bounds)
{
    return BRect(7, bounds.bottom - 50, 72, bounds.bottom - 10);
}

// The pad's rows of buttons, clicked strictly between top and bottom; the minus button strictly
// between x = 12 and 22, the plus button between 57 and 67.
struct ButtonRow {
    float top;
    float bottom;
    uint32 minus;
    uint32 plus;
};

constexpr ButtonRow BUTTON_ROWS[] = {
    {65, 75, MSG_CHANNEL_DOWN, MSG_CHANNEL_UP},
    {80, 90, MSG_VOLUME_DOWN, MSG_VOLUME_UP},
    {105, 115, MSG_BRIGHTNESS_DOWN, MSG_BRIGHTNESS_UP},
    {120, 130, MSG_CONTRAST_DOWN, MSG_CONTRAST_UP},
    {135, 145, MSG_SATURATION_DOWN, MSG_SATURATION_UP},
};

// The command of a click at where, or 0 for none.
uint32 CommandAt(BPoint where)
{
    if (BUTTON_PAD.Contains(where)) {
        for (const ButtonRow& row : BUTTON_ROWS) {
            if (where.y <= row.top || where.y >= row.bottom)
                continue;
            if (where.x > 12 && where.x < 22)
                return row.minus;
            if (where.x > 57 && where.x < 67)
                return row.plus;
        }
        return 0;
    }
    if (FULL_SCREEN_BUTTON.Contains(where))
        return MSG_TOGGLE_FULLSCREEN;
    if (FORMAT_4_3_BUTTON.Contains(where))
        return MSG_FORMAT_4_3;
    if (FORMAT_16_9_BUTTON.Contains(where))
        return MSG_FORMAT_16_9;
    return 0;
}

// The command a key byte stands for, or 0 for none.
uint32 CommandForKey(uint8 key)
{
    switch (key) {
    case '+':
        return MSG_CHANNEL_UP;
    case '-':
        return MSG_CHANNEL_DOWN;
    case B_UP_ARROW:
        return MSG_VOLUME_UP;
    case B_DOWN_ARROW:
        return MSG_VOLUME_DOWN;
    case B_INSERT:
        return MSG_BRIGHTNESS_UP;
    case B_DELETE:
        return MSG_BRIGHTNESS_DOWN;
    case B_HOME:
        return MSG_CONTRAST_UP;
    case B_END:
        return MSG_CONTRAST_DOWN;
    case B_PAGE_UP:
        return MSG_SATURATION_UP;
    case B_PAGE_DOWN:
        return MSG_SATURATION_DOWN;
    default:
        return 0;
    }
}

// The lit segments of a glyph, bit 0x01 top, 0x02 upper left, 0x04 upper right, 0x08 middle,
// 0x10 lower left, 0x20 lower right, 0x40 bottom.
uint8 SegmentMask(int glyph)
{
    constexpr uint8 HEX_DIGITS[16] = {0x77, 0x24, 0x5D, 0x6D, 0x2E, 0x6B, 0x7B, 0x25, 0x7F, 0x6F,
        0x3F, 0x7A, 0x53, 0x7C, 0x5B, 0x1B};
    if (glyph >= 0 && glyph < int(std::size(HEX_DIGITS)))
        return HEX_DIGITS[glyph];
    if (glyph == -1)
        return 0x08;
    if (glyph == 25)
        return 0x1F;
    return 0;
}

// A segment is three lines from the glyph cell's corner, which make it 3 pixels thick with
// bevelled ends: the middle line and the two beside it, one pixel shorter at each end.
struct SegmentLine {
    float x0;
    float y0;
    float x1;
    float y1;
};

constexpr SegmentLine SEGMENTS[7][3] = {
    {{2, 1, 14, 1}, {3, 0, 13, 0}, {3, 2, 13, 2}},
    {{1, 2, 1, 14}, {0, 3, 0, 13}, {2, 3, 2, 13}},
    {{15, 2, 15, 14}, {14, 3, 14, 13}, {16, 3, 16, 13}},
    {{2, 16, 14, 16}, {3, 15, 13, 15}, {3, 17, 13, 17}},
    {{1, 18, 1, 30}, {0, 19, 0, 29}, {2, 19, 2, 29}},
    {{15, 18, 15, 30}, {14, 19, 14, 29}, {16, 19, 16, 29}},
    {{2, 31, 14, 31}, {3, 30, 13, 30}, {3, 32, 13, 32}},
};

// The flags the panel's drawing relies on: B_WILL_DRAW and B_FULL_UPDATE_ON_RESIZE among them.
constexpr uint32 PANEL_FLAGS = 0xa1000000;

}

ControlPanel::ControlPanel(BRect frame)
    :
    BBox(frame, "ControlPanel", B_FOLLOW_LEFT | B_FOLLOW_TOP_BOTTOM, PANEL_FLAGS, B_PLAIN_BORDER)
{
}

void ControlPanel::Draw(BRect updateRect)
{
    const rgb_color background = ui_color(B_MENU_BACKGROUND_COLOR);
    const rgb_color viewColor = ViewColor();
    if (viewColor.red != background.red || viewColor.green != background.green
        || viewColor.blue != background.blue) {
        // The box took its parent's colour when attached, and the window cleared the panel in
        // it: once more in the menu colour.
        SetViewColor(background);
        Invalidate(updateRect);
    }
    BBox::Draw(updateRect);
    if (BeginSection(STATION_DISPLAY, updateRect))
        DrawStationDisplay();
    if (BeginSection(BUTTON_PAD, updateRect))
        DrawButtonPad();
    if (BeginSection(FULL_SCREEN_BUTTON, updateRect))
        DrawFullScreenButton();
    if (BeginSection(FORMAT_4_3_BUTTON, updateRect))
        DrawFormatButton(BRect(21, 183, 35, 192), "4:3", 191);
    if (BeginSection(FORMAT_16_9_BUTTON, updateRect))
        DrawFormatButton(BRect(21, 204, 35, 211), "16:9", 211);
    // The bottom panel is its face alone.
    BeginSection(BottomPanel(Bounds()), updateRect);
}

bool ControlPanel::BeginSection(BRect section, BRect updateRect)
{
    if (!section.Intersects(updateRect))
        return false;
    SetLowColor(FACE);
    FillRect(section, B_SOLID_LOW);
    return true;
}

void ControlPanel::DrawStationDisplay()
{
    DrawSEG7(BPoint(12, 15), 25, DISPLAY_RED);
    DrawSEG7(BPoint(32, 15), int(stationNumber / 10), DISPLAY_RED);
    DrawSEG7(BPoint(52, 15), int(stationNumber % 10), DISPLAY_RED);
}

void ControlPanel::DrawButtonPad()
{
    SetHighColor(GREY);
    for (float top : {65.0f, 80.0f, 105.0f, 120.0f, 135.0f})
        DrawTriangles(BPoint(7, top));

    // Station: a P.
    SetHighColor(ICON_GREEN);
    BFont font = *be_bold_font;
    font.SetSize(12);
    SetFont(&font, B_FONT_ALL);
    DrawString("P", BPoint(36, 74));

    // Volume: a wedge that rises to the right.
    FillTriangle(BPoint(32, 90), BPoint(47, 90), BPoint(47, 80));

    // Brightness: a sun, its rays crossing behind a ring.
    StrokeLine(BPoint(36, 106), BPoint(44, 114));
    StrokeLine(BPoint(36, 114), BPoint(44, 106));
    StrokeLine(BPoint(40, 105), BPoint(40, 115));
    StrokeLine(BPoint(35, 110), BPoint(45, 110));
    FillArc(BPoint(40, 110), 3, 3, 0, 360, B_SOLID_LOW);
    StrokeArc(BPoint(40, 110), 3, 3, 0, 360);

    // Contrast: the left half solid, the right half open.
    FillArc(BRect(35, 120, 45, 130), 90, 180);
    StrokeArc(BRect(35, 120, 45, 130), 270, 180);

    // Saturation: a colour wheel of six sectors.
    const struct {
        float start;
        rgb_color color;
    } sectors[] = {{90, DARK_GREY}, {210, DARK_GREY}, {150, GREY}, {270, RED},
        {330, ICON_GREEN}, {30, BLUE}};
    for (const auto& sector : sectors) {
        SetHighColor(sector.color);
        FillArc(BRect(35, 135, 45, 145), sector.start, 60);
    }
}

void ControlPanel::DrawFullScreenButton()
{
    SetHighColor(NAVY);
    // A window with its tab, and the screen it becomes.
    StrokeRect(BRect(21, 164, 35, 173));
    StrokeRect(BRect(21, 162, 27, 163));
    StrokeRect(BRect(43, 162, 57, 173));
}

void ControlPanel::DrawFormatButton(BRect screen, const char* text, float baseline)
{
    BFont font = *be_plain_font;
    font.SetSize(10);
    font.SetFace(B_REGULAR_FACE);
    SetFont(&font, B_FONT_ALL);
    SetHighColor(NAVY);
    StrokeRect(screen);
    DrawString(text, BPoint(42, baseline));
}

void ControlPanel::DrawTriangles(BPoint where)
{
    FillTriangle(BPoint(where.x + 15, where.y), BPoint(where.x + 5, where.y + 5),
        BPoint(where.x + 15, where.y + 10));
    FillTriangle(BPoint(where.x + 50, where.y), BPoint(where.x + 60, where.y + 5),
        BPoint(where.x + 50, where.y + 10));
}

void ControlPanel::DrawSEG7(BPoint where, int glyph, rgb_color colour)
{
    const uint8 mask = SegmentMask(glyph);
    BeginLineArray(21);
    for (int segment = 0; segment < 7; segment++) {
        if ((mask & (1 << segment)) == 0)
            continue;
        for (const SegmentLine& line : SEGMENTS[segment]) {
            AddLine(BPoint(where.x + line.x0, where.y + line.y0),
                BPoint(where.x + line.x1, where.y + line.y1), colour);
        }
    }
    EndLineArray();
}

void ControlPanel::SetStationNumber(int32 number)
{
    stationNumber = number;
    Draw(Bounds());
}

int32 ControlPanel::StationNumber() const
{
    return stationNumber;
}

void ControlPanel::MouseDown(BPoint where)
{
    BWindow* window = Window();
    if (uint32 command = CommandAt(where); window != nullptr && command != 0)
        window->PostMessage(command);
}

void ControlPanel::KeyDown(const char* bytes, int32 numBytes)
{
    BWindow* window = Window();
    if (window == nullptr)
        return;
    for (int32 i = 0; i < numBytes; i++) {
        if (uint32 command = CommandForKey(uint8(bytes[i])); command != 0)
            window->PostMessage(command);
    }
}
