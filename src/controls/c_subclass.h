#pragma once
// The window message hook: one CSubclass object lets callback objects see chosen events of
// chosen widgets before and after the widget handles them, and answer an event in place of the
// widget. The program owns exactly one hook, created before the first window and released after
// the last; every glow button hooks its own widget through it.
//
// Messages are QEvent types (QEvent::MouseButtonPress, QEvent::Leave, ...); -1 stands for every
// event. Each hooked widget has two lists of at most 32 message numbers:
//   before: the callback sees the event first (bBefore true). Setting bHandled keeps the event
//           from the widget and skips the after phase.
//   after:  the hook delivers the event to the widget itself (its event()), then calls back with
//           bBefore false and lReturn = what event() returned (1 or 0).
// Events in neither list reach the widget as if it were not hooked, at the cost of two list
// scans. Callbacks may nest (a callback that sends another event to the same widget) and may
// unhook the widget they are called for; the record goes away once no dispatch of that widget
// is running. A widget destroyed while hooked detaches by itself.
//
// Ownership: the hook never owns widgets or callback objects. A callback object must unhook
// every widget it hooked before it is destroyed. Destroying the hook unhooks every widget still
// hooked, the last hooked first. Everything runs on the thread that owns the widgets.

#include <QObject>
#include <QPointer>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class QEvent;
class QWidget;

namespace pictorra::controls {

// `When` bits of AddMsg and DelMsg.
inline constexpr int32_t kMsgWhenBefore = 1;
inline constexpr int32_t kMsgWhenAfter = 2;
inline constexpr int32_t kMsgWhenAll = kMsgWhenBefore | kMsgWhenAfter;
// The message number that stands for every event.
inline constexpr int32_t kAllMessages = -1;
// Message numbers one list can hold.
inline constexpr int kMaxMessages = 32;

// What a hook calls back. The interface has one routine, so the only routine ordinal is 1.
class SubclassCallback {
public:
    virtual ~SubclassCallback() = default;

    // bBefore: true before the widget sees the event, false after it. bHandled: false on entry;
    // set it in the before phase to keep the event from the widget. lReturn: 0 before; in the
    // after phase what the widget's event() returned. uMsg is event->type(); event stands for
    // the message's parameters. lParamUser: the value given to Subclass, kept per widget.
    virtual void WindowProc(bool bBefore, bool& bHandled, intptr_t& lReturn, QWidget* lng_hWnd,
                            int32_t uMsg, QEvent* event, intptr_t& lParamUser) = 0;
};

class CSubclass : public QObject, public SubclassCallback {
    Q_OBJECT

public:
    explicit CSubclass(QObject* parent = nullptr);
    ~CSubclass() override;
    CSubclass(const CSubclass&) = delete;
    CSubclass& operator=(const CSubclass&) = delete;

    // Hooks lng_hWnd and returns true. Returns false, changing nothing, for a null widget, a
    // routine ordinal other than 1, or a widget this hook already has hooked (one record per
    // widget). Without a callback object the hook itself is called back, which does nothing.
    // bIdeSafety and bIsAPIwindow are accepted and have no effect; bUnicode is kept.
    bool Subclass(QWidget* lng_hWnd, intptr_t lParamUser = 0, int32_t nOrdinal = 1,
                  SubclassCallback* oCallback = nullptr, bool bIdeSafety = false,
                  bool bUnicode = false, bool bIsAPIwindow = false);

    // Unhooks the widget: nothing more is reported for it, and it is released as soon as no
    // dispatch of it is running. A widget that is not hooked is no error. oCallback is accepted
    // and not needed.
    void UnSubclass(QWidget* LHwnd, SubclassCallback* oCallback = nullptr);

    // Adds LMessage (kAllMessages: every event) to the lists `When` chooses. A message already
    // listed stays listed once; an emptied slot is reused first; a full list (32 numbers)
    // refuses a new number and stays as it was. A single number added to an every-event list
    // replaces the every-event setting. A widget that is not hooked is ignored.
    void AddMsg(QWidget* lng_hWnd, int32_t LMessage, int32_t When);

    // Removes LMessage from the lists `When` chooses (its first slot is emptied);
    // kAllMessages empties the lists. A widget that is not hooked is ignored.
    void DelMsg(QWidget* lng_hWnd, int32_t LMessage, int32_t When);

    // True while lng_hWnd is hooked (a record that UnSubclass or its destruction has not ended).
    bool IsHooked(const QWidget* lng_hWnd) const;

    // The hook's own callback, used when Subclass is given none: it leaves every event alone.
    void WindowProc(bool bBefore, bool& bHandled, intptr_t& lReturn, QWidget* lng_hWnd,
                    int32_t uMsg, QEvent* event, intptr_t& lParamUser) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Slot 0 is the count: 0 no message, -1 every message, n slots 1..n in use; 0 in a slot
    // marks an emptied one.
    using MessageTable = std::array<int32_t, kMaxMessages + 1>;

    struct HookRecord {
        int in_use = 0;                // dispatches of this widget now running (nesting depth)
        bool shutdown = false;         // unhooked or destroyed: events pass straight through
        bool keyed = true;             // found by AddMsg, DelMsg, UnSubclass and IsHooked
        const QObject* key = nullptr;  // the widget, compared only (it may be gone)
        QPointer<QWidget> window;
        SubclassCallback* callback = nullptr;
        MessageTable before{};
        MessageTable after{};
        intptr_t lParamUser = 0;
        bool unicode = false;
    };

    static bool Holds(const MessageTable& table, int32_t msg);
    static void Add(MessageTable& table, int32_t msg);
    static void Remove(MessageTable& table, int32_t msg);

    HookRecord* Find(const QObject* window) const;
    HookRecord* FindForDispatch(const QObject* window) const;
    void Release(HookRecord* record);
    void WindowDestroyed(QObject* window);

    // In the order hooked; a record leaves when it is shut down and no dispatch of it runs.
    std::vector<std::unique_ptr<HookRecord>> records_;
};

}  // namespace pictorra::controls
