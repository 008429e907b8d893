// The owner-drawn find button: the fit of its icon, and what one drawing leaves behind.

#include "res/resource.h"
#include "ui/FindButton.h"
#include "tests/ui/ui_support.h"

#include <gtest/gtest.h>

TEST(FitRectKeepAspect, KeepsTheAspectWithSinglePrecisionRatios) {
    struct Case {
        SIZE image, box;
        RECT fit;
    } cases[] = {
        {{32, 32}, {20, 20}, {0, 0, 19, 20}}, // one pixel short: the ratio is a float
        {{48, 32}, {24, 24}, {0, 4, 24, 20}}, {{32, 48}, {24, 24}, {4, 0, 20, 24}},
        {{32, 32}, {16, 16}, {0, 0, 16, 16}}, {{32, 32}, {40, 20}, {10, 0, 29, 20}},
        {{0, 0}, {24, 23}, {12, 0, 12, 23}},  {{32, 32}, {24, 23}, {1, 0, 23, 23}},
    };
    for (const Case& c : cases) {
        const RECT fit = FitRectKeepAspect(c.image, c.box);
        EXPECT_TRUE(EqualRect(&fit, &c.fit))
            << c.image.cx << "x" << c.image.cy << " in " << c.box.cx << "x" << c.box.cy << ": "
            << fit.left << "," << fit.top << "," << fit.right << "," << fit.bottom;
    }
    // Boxes of no size divide by zero: any rectangle will do, as long as nothing fails.
    FitRectKeepAspect({32, 32}, {0, 0});
    FitRectKeepAspect({32, 32}, {-4, 3});
}

namespace {

// Draws the find button of a list window into a bitmap of the button's size, as the window's
// WM_DRAWITEM handling does, and returns its pixels (top-down, 0x00RRGGBB).
class ButtonCanvas {
public:
    explicit ButtonCanvas(CMessageListDlg& list, UINT controlId = IDC_FIND_BUTTON)
        : m_list(list), m_button(list.GetDlgItem(IDC_FIND_BUTTON)) {
        RECT rect;
        GetWindowRect(m_button, &rect);
        width = rect.right - rect.left;
        height = rect.bottom - rect.top;
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        m_dc = CreateCompatibleDC(nullptr);
        m_bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_bits),
                                    nullptr, 0);
        m_previous = SelectObject(m_dc, m_bitmap);
        PatBlt(m_dc, 0, 0, width, height, BLACKNESS);
        m_item.CtlType = ODT_BUTTON;
        m_item.CtlID = controlId;
        m_item.itemAction = ODA_DRAWENTIRE;
        m_item.hwndItem = m_button;
        m_item.hDC = m_dc;
        m_item.rcItem = {0, 0, width, height};
    }
    ~ButtonCanvas() {
        SelectObject(m_dc, m_previous);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }

    void SetState(UINT state) { m_item.itemState = state; }
    void Draw() {
        m_list.SendMessageW(WM_DRAWITEM, m_item.CtlID, reinterpret_cast<LPARAM>(&m_item));
        GdiFlush();
    }
    unsigned Pixel(int x, int y) const { return m_bits[y * width + x] & 0xFFFFFF; }
    int Grey(int x, int y) const { return Pixel(x, y) & 0xFF; }

    int width = 0, height = 0;

private:
    CMessageListDlg& m_list;
    HWND m_button;
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_previous;
    unsigned* m_bits = nullptr;
    DRAWITEMSTRUCT m_item{};
};

} // namespace

TEST(FindButton, GradientIconAndPressedState) {
    CMessageListDlg list(nullptr);
    ASSERT_TRUE(list.Create(IDD_RESULTS, nullptr));
    HWND button = list.GetDlgItem(IDC_FIND_BUTTON);
    ButtonCanvas canvas(list);
    ASSERT_GT(canvas.width, 10);
    ASSERT_GT(canvas.height, 10);

    // Released: light at the top, darker at the bottom (in a column clear of the icon). The
    // caption goes, so that only the icon differs between the drawings below.
    SetWindowTextW(button, L"");
    canvas.Draw();
    const int x = canvas.width - 5, top = 4, bottom = canvas.height - 5;
    EXPECT_GT(canvas.Grey(x, top), canvas.Grey(x, bottom));
    EXPECT_GE(canvas.Grey(x, top), 0xD0);
    const std::vector<unsigned> released = [&] {
        std::vector<unsigned> p;
        for (int y = 0; y < canvas.height; ++y)
            for (int i = 0; i < canvas.width; ++i)
                p.push_back(canvas.Pixel(i, y));
        return p;
    }();

    // With the keyboard on it, the system's focus rectangle inside the frame; none when the
    // window hides focus cues.
    const auto changedInTheFocusRow = [&] {
        const int inset = 3; // the rectangle's top edge, a dotted line
        int changed = 0;
        for (int i = inset; i < canvas.width - inset; ++i) {
            changed += canvas.Pixel(i, inset) != released[inset * canvas.width + i] ? 1 : 0;
        }
        return changed;
    };
    canvas.SetState(ODS_FOCUS);
    canvas.Draw();
    EXPECT_GT(changedInTheFocusRow(), canvas.width / 4);
    canvas.SetState(ODS_FOCUS | ODS_NOFOCUSRECT);
    canvas.Draw();
    EXPECT_EQ(changedInTheFocusRow(), 0);
    canvas.SetState(0);

    // Pressed: the gradient runs the other way.
    SendMessageW(button, BM_SETSTATE, TRUE, 0);
    canvas.Draw();
    EXPECT_LT(canvas.Grey(x, top), canvas.Grey(x, bottom));
    SendMessageW(button, BM_SETSTATE, FALSE, 0);

    // The icon lies where the fit puts it: left edge at 5, scaled into the content box.
    HICON icon = reinterpret_cast<HICON>(SendMessageW(button, BM_SETIMAGE, IMAGE_ICON, 0));
    canvas.Draw();
    SendMessageW(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
    RECT drawn{canvas.width, canvas.height, -1, -1};
    for (int y = 0; y < canvas.height; ++y) {
        for (int i = 0; i < canvas.width; ++i) {
            if (canvas.Pixel(i, y) != released[y * canvas.width + i]) {
                drawn = {std::min<LONG>(drawn.left, i), std::min<LONG>(drawn.top, y),
                         std::max<LONG>(drawn.right, i + 1), std::max<LONG>(drawn.bottom, y + 1)};
            }
        }
    }
    const int frameX = GetSystemMetrics(SM_CXDLGFRAME), frameY = GetSystemMetrics(SM_CYDLGFRAME);
    RECT expected =
        FitRectKeepAspect({32, 32}, {canvas.width - 2 * frameX, canvas.height - 2 * frameY});
    OffsetRect(&expected, 5 - expected.left, frameY);
    ASSERT_LT(drawn.left, drawn.right) << "no icon drawn";
    EXPECT_GE(drawn.left, expected.left);
    EXPECT_GE(drawn.top, expected.top);
    EXPECT_LE(drawn.right, expected.right);
    EXPECT_LE(drawn.bottom, expected.bottom);
    list.DestroyWindow();
}

TEST(FindButton, DrawingLeavesNothingBehind) {
    CMessageListDlg list(nullptr);
    ASSERT_TRUE(list.Create(IDD_RESULTS, nullptr));
    ButtonCanvas canvas(list);
    canvas.Draw(); // what the platform caches on first use
    const HGDIOBJ bitmap = GetCurrentObject(list.MemDC(), OBJ_BITMAP);
    const HGDIOBJ font = GetCurrentObject(list.MemDC(), OBJ_FONT);
    const int live = LiveGdiObjects();
    for (int i = 0; i < 200; ++i) {
        canvas.Draw();
    }
    EXPECT_EQ(LiveGdiObjects(), live);
    EXPECT_EQ(GetCurrentObject(list.MemDC(), OBJ_BITMAP), bitmap);
    EXPECT_EQ(GetCurrentObject(list.MemDC(), OBJ_FONT), font);

    // A request for another control draws nothing.
    ButtonCanvas other(list, 1234);
    other.Draw();
    EXPECT_EQ(other.Pixel(other.width / 2, other.height / 2), 0u);
    list.DestroyWindow();
}
