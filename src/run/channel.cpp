#include "run/channel.h"
#include "run/run_state.h"

Answer BoxChannel::Ask(const Message& m) {
    UINT style = m.kind == Message::Question ? MB_YESNO | MB_ICONQUESTION
                 : m.kind == Message::Warning ? MB_OK | MB_ICONWARNING
                                              : MB_OK | MB_ICONEXCLAMATION;
    if (m.defaultNo) style |= MB_DEFBUTTON2;
    if (m.systemModal) style |= MB_SYSTEMMODAL;
    HWND owner = m.systemModal ? GetDesktopWindow() : owner_;
    int answer = MessageBoxA(owner, m.text, m.caption, style);
    if (m.repaintAfter && owner_) {
        HWND backdrop = GetWindow(owner_, GW_OWNER);
        InvalidateRect(backdrop, nullptr, FALSE);
        UpdateWindow(backdrop);
    }
    if (m.kind != Message::Question) return Answer::Ok;
    return answer == IDYES ? Answer::Yes : Answer::No;
}

Channel& UserChannel() {
    static BoxChannel desktop;
    Channel* channel = Run().channel;
    return channel ? *channel : desktop;
}
