#pragma once

#include <windows.h>

#include <type_traits>

namespace ui {

class Dialog;

// One entry of a message map: a message (for WM_COMMAND and WM_NOTIFY also a notification code
// and a control identifier) and the thunk that calls the handler.
struct MessageMapEntry {
    UINT message;
    UINT code; // WM_COMMAND: the notification code in wParam; WM_NOTIFY: NMHDR::code
    UINT id;   // WM_COMMAND: the control in wParam; WM_NOTIFY: NMHDR::idFrom
    LRESULT (*thunk)(Dialog& self, WPARAM wParam, LPARAM lParam);
};

// A class's own entries (ended by an entry with message 0) and the map of its base class.
struct MessageMap {
    const MessageMap* base;
    const MessageMapEntry* entries;
};

namespace thunks {

template <class Pointer> struct ClassOf;
template <class C, class R, class... Args> struct ClassOf<R (C::*)(Args...)> { using type = C; };
template <auto Handler> using HandlerClass = typename ClassOf<decltype(Handler)>::type;

// Each thunk turns the message's parameters into the handler's and calls it on the object,
// reached from the dialog by a downcast to the class that declared the handler.
template <auto Handler> LRESULT Command(Dialog& self, WPARAM, LPARAM) {
    (static_cast<HandlerClass<Handler>&>(self).*Handler)();
    return 0;
}

// A message of our own: the handler takes both parameters and gives the result, or takes none
// and gives none (the result is then 0).
template <auto Handler> LRESULT Message(Dialog& self, WPARAM wParam, LPARAM lParam) {
    auto& object = static_cast<HandlerClass<Handler>&>(self);
    if constexpr (std::is_invocable_v<decltype(Handler), HandlerClass<Handler>&, WPARAM, LPARAM>) {
        return (object.*Handler)(wParam, lParam);
    } else {
        (object.*Handler)();
        return 0;
    }
}

// A control's notification: the handler takes the notification's own structure (NMHDR for those
// that carry nothing more) and gives the result.
template <class Pointer> struct NotifyHeader;
template <class C, class R, class Header> struct NotifyHeader<R (C::*)(Header&)> {
    using type = Header;
};

template <auto Handler> LRESULT Notify(Dialog& self, WPARAM, LPARAM lParam) {
    using Header = typename NotifyHeader<decltype(Handler)>::type;
    return (static_cast<HandlerClass<Handler>&>(self).*Handler)(*reinterpret_cast<Header*>(lParam));
}

template <auto Handler> LRESULT Size(Dialog& self, WPARAM wParam, LPARAM lParam) {
    (static_cast<HandlerClass<Handler>&>(self).*Handler)(static_cast<UINT>(wParam),
                                                         static_cast<int>(LOWORD(lParam)),
                                                         static_cast<int>(HIWORD(lParam)));
    return 0;
}

template <auto Handler> LRESULT Timer(Dialog& self, WPARAM wParam, LPARAM) {
    (static_cast<HandlerClass<Handler>&>(self).*Handler)(static_cast<UINT_PTR>(wParam));
    return 0;
}

template <auto Handler> LRESULT DrawItem(Dialog& self, WPARAM wParam, LPARAM lParam) {
    (static_cast<HandlerClass<Handler>&>(self).*Handler)(static_cast<int>(wParam),
                                                         reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
    return TRUE;
}

template <auto Handler> LRESULT ContextMenu(Dialog& self, WPARAM wParam, LPARAM lParam) {
    const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    (static_cast<HandlerClass<Handler>&>(self).*Handler)(reinterpret_cast<HWND>(wParam), point);
    return 0;
}

} // namespace thunks
} // namespace ui

// In the class: the map accessors.
#define UI_DECLARE_MESSAGE_MAP()                                                                   \
public:                                                                                            \
    static const ::ui::MessageMap* GetThisMessageMap();                                            \
    const ::ui::MessageMap* GetMessageMap() const override;

// In the source file: the class's own entries, chained to its base class's map.
#define UI_BEGIN_MESSAGE_MAP(Class, Base)                                                          \
    const ::ui::MessageMap* Class::GetMessageMap() const {                                         \
        return GetThisMessageMap();                                                                \
    }                                                                                              \
    const ::ui::MessageMap* Class::GetThisMessageMap() {                                           \
        using ThisClass = Class;                                                                   \
        using BaseClass = Base;                                                                    \
        static const ::ui::MessageMapEntry entries[] = {

#define UI_END_MESSAGE_MAP()                                                                       \
    { 0, 0, 0, nullptr }                                                                           \
    }                                                                                              \
    ;                                                                                              \
    static const ::ui::MessageMap map = {BaseClass::GetThisMessageMap(), entries};                 \
    return &map;                                                                                   \
    }

#define UI_ON_BN_CLICKED(id, handler)                                                              \
    {WM_COMMAND, BN_CLICKED, id, &::ui::thunks::Command<&ThisClass::handler>},
// handler(notification): a control's WM_NOTIFY of one code, from the control id.
#define UI_ON_NOTIFY(code, id, handler)                                                            \
    {WM_NOTIFY, static_cast<UINT>(code), id, &::ui::thunks::Notify<&ThisClass::handler>},
// handler(wParam, lParam) or handler(): a message of the program's own (WM_APP and up, or WM_USER
// and up).
#define UI_ON_MESSAGE(message, handler)                                                            \
    {message, 0, 0, &::ui::thunks::Message<&ThisClass::handler>},
#define UI_ON_WM_SIZE(handler) {WM_SIZE, 0, 0, &::ui::thunks::Size<&ThisClass::handler>},
#define UI_ON_WM_TIMER(handler) {WM_TIMER, 0, 0, &::ui::thunks::Timer<&ThisClass::handler>},
// handler(window, screenPoint): the point is (-1, -1) when the menu was asked for by keyboard.
#define UI_ON_WM_CONTEXTMENU(handler)                                                              \
    {WM_CONTEXTMENU, 0, 0, &::ui::thunks::ContextMenu<&ThisClass::handler>},
#define UI_ON_WM_DRAWITEM(handler)                                                                 \
    {WM_DRAWITEM, 0, 0, &::ui::thunks::DrawItem<&ThisClass::handler>},
