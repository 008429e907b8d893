#include "ui/FindButton.h"

#include "ui/framework/Handles.h"

#include "ui/framework/Window.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>

namespace {

// Truncation toward zero of a value that may be out of range or not a number.
int Truncate(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    return static_cast<int>(
        std::clamp(value, static_cast<double>(INT_MIN), static_cast<double>(INT_MAX)));
}

} // namespace

RECT FitRectKeepAspect(SIZE image, SIZE box) {
    // The ratios are kept in single precision, the comparison of the width's is made in double
    // against the single-precision height ratio: the fit has always been computed so, and a
    // pixel of difference at the edges shows.
    const double widthQuotient = static_cast<double>(image.cx) / box.cx;
    const float widthRatio = static_cast<float>(widthQuotient);
    const float heightRatio = static_cast<float>(static_cast<double>(image.cy) / box.cy);
    if (widthQuotient > heightRatio) {
        const int sh = Truncate(static_cast<double>(image.cy) / widthRatio);
        return RECT{0, Truncate(box.cy * 0.5 - sh * 0.5), box.cx,
                    Truncate((static_cast<double>(sh) + box.cy) * 0.5)};
    }
    const int sw = Truncate(static_cast<double>(image.cx) / heightRatio);
    return RECT{Truncate(box.cx * 0.5 - sw * 0.5), 0,
                Truncate((static_cast<double>(sw) + box.cx) * 0.5), box.cy};
}

void DrawFindButton(HDC memDC, const DRAWITEMSTRUCT& item) {
    HWND button = item.hwndItem;
    RECT window{};
    if (!::GetWindowRect(button, &window)) {
        window = RECT{};
    }
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;

    HDC screen = ::GetDC(nullptr);
    // Deleted when the drawing ends, after the context's own bitmap and font are selected back.
    const ui::Bitmap bitmap(::CreateCompatibleBitmap(screen, width, height));
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ previousBitmap = ::SelectObject(memDC, bitmap);
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(::SendMessageW(button, WM_GETFONT, 0, 0));
    HGDIOBJ previousFont = ::SelectObject(memDC, font);

    const LRESULT state = ::SendMessageW(button, BM_GETSTATE, 0, 0);
    const bool pressed = (state & (BST_CHECKED | BST_PUSHED)) != 0;
    const bool hasIcon = (::GetWindowLongW(button, GWL_STYLE) & BS_ICON) != 0;

    RECT frame = item.rcItem;
    ::DrawFrameControl(memDC, &frame, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));

    RECT content = item.rcItem;
    ::InflateRect(&content, -::GetSystemMetrics(SM_CXDLGFRAME), -::GetSystemMetrics(SM_CYDLGFRAME));

    const COLOR16 light = 0xF000, dark = 0x8000;
    const COLOR16 top = pressed ? dark : light, bottom = pressed ? light : dark;
    const int borderX = ::GetSystemMetrics(SM_CXBORDER), borderY = ::GetSystemMetrics(SM_CYBORDER);
    TRIVERTEX vertices[2] = {{borderX, borderY, top, top, top, 0},
                             {width - borderX, height - borderY, bottom, bottom, bottom, 0}};
    GRADIENT_RECT mesh{0, 1};
    ::GradientFill(memDC, vertices, 2, &mesh, 1, GRADIENT_FILL_RECT_V);

    RECT text = content;
    if (hasIcon) {
        HICON icon = reinterpret_cast<HICON>(::SendMessageW(button, BM_GETIMAGE, IMAGE_ICON, 0));
        SIZE iconSize{0, 0};
        ICONINFO info{};
        if (icon != nullptr && ::GetIconInfo(icon, &info)) {
            const ui::Bitmap mask(info.hbmMask), color(info.hbmColor); // the copies it made
            iconSize =
                SIZE{static_cast<LONG>(2 * info.xHotspot), static_cast<LONG>(2 * info.yHotspot)};
        }
        RECT place = FitRectKeepAspect(
            iconSize, SIZE{content.right - content.left, content.bottom - content.top});
        ::OffsetRect(&place, content.left, content.top);
        ::OffsetRect(&place, 5 - place.left, 0);
        if (pressed) {
            ::OffsetRect(&place, 1, 1);
        }
        ::DrawIconEx(memDC, place.left, place.top, icon, place.right - place.left,
                     place.bottom - place.top, 0, nullptr, DI_NORMAL);
        text.left = place.right + 5;
    }
    if (pressed) {
        ::OffsetRect(&text, 1, 1);
    }
    ::SetBkMode(memDC, TRANSPARENT);
    const std::wstring caption = ui::GetWindowTextString(button);
    ::DrawTextW(memDC, caption.c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER);

    // Reached with Tab, the button shows it as every push button does (unless the window hides
    // keyboard cues, as after a mouse click).
    if ((item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0) {
        RECT focus = item.rcItem;
        ::InflateRect(&focus, -3, -3);
        ::DrawFocusRect(memDC, &focus);
    }

    ::BitBlt(item.hDC, 0, 0, width, height, memDC, 0, 0, SRCCOPY);

    ::SelectObject(memDC, previousBitmap);
    ::SelectObject(memDC, previousFont);
}
