// What the steps ask and tell the user, through one place: the interactive run shows the
// message boxes, an unattended run answers as documented and writes its log, SetupTool's
// plan notes each question, and a test records them.
#pragma once
#include <windows.h>

enum class Answer { Ok, Yes, No };

// One message box's worth: the texts already chosen by the language rule.
struct Message {
    enum Kind {
        Warning,      // warning icon, OK
        Exclamation,  // exclamation icon, OK
        Question,     // question icon, Yes and No
    };
    Kind kind;
    const char* caption;
    const char* text;
    bool defaultNo = false;     // a question whose default button is No
    bool systemModal = false;   // topmost, owned by the desktop (the restart questions)
    bool repaintAfter = false;  // the backdrop behind the owner is repainted once it closes
};

class Channel {
public:
    virtual Answer Ask(const Message& message) = 0;

protected:
    ~Channel() = default;
};

// Message boxes owned by the given window (the desktop when none).
class BoxChannel : public Channel {
public:
    explicit BoxChannel(HWND owner = nullptr) : owner_(owner) {}
    Answer Ask(const Message& message) override;
    void SetOwner(HWND owner) { owner_ = owner; }

private:
    HWND owner_;
};

// The run's channel (Run().channel), or message boxes owned by the desktop without one.
Channel& UserChannel();
inline Answer Ask(const Message& message) { return UserChannel().Ask(message); }
