#include "controls/c_subclass.h"

#include <QEvent>
#include <QWidget>
#include <algorithm>

namespace pictorra::controls {

CSubclass::CSubclass(QObject* parent) : QObject(parent) {}

CSubclass::~CSubclass() {
    // The last hooked first, so that a widget hooked on top of another's set-up is undone first.
    for (auto i = records_.size(); i-- > 0;) {
        if (records_[i]->keyed) UnSubclass(records_[i]->window);
    }
    for (const auto& record : records_) {
        if (record->window) record->window->removeEventFilter(this);
    }
}

bool CSubclass::Subclass(QWidget* lng_hWnd, intptr_t lParamUser, int32_t nOrdinal,
                         SubclassCallback* oCallback, bool /*bIdeSafety*/, bool bUnicode,
                         bool /*bIsAPIwindow*/) {
    if (lng_hWnd == nullptr) return false;
    // The callback interface has a single routine, counted from the end as 1.
    if (nOrdinal != 1) return false;
    if (Find(lng_hWnd) != nullptr) return false;

    // A widget unhooked inside one of its callbacks keeps its record (and the filter) until that
    // dispatch ends; the filter must then stay for the new record.
    const bool filter_installed = FindForDispatch(lng_hWnd) != nullptr;
    auto record = std::make_unique<HookRecord>();
    record->key = lng_hWnd;
    record->window = lng_hWnd;
    record->callback = oCallback != nullptr ? oCallback : this;
    record->lParamUser = lParamUser;
    record->unicode = bUnicode;
    records_.push_back(std::move(record));
    if (!filter_installed) {
        lng_hWnd->installEventFilter(this);
        connect(lng_hWnd, &QObject::destroyed, this, &CSubclass::WindowDestroyed,
                Qt::UniqueConnection);
    }
    return true;
}

void CSubclass::UnSubclass(QWidget* LHwnd, SubclassCallback* /*oCallback*/) {
    HookRecord* record = Find(LHwnd);
    if (record == nullptr) return;
    record->shutdown = true;
    record->keyed = false;
    record->before[0] = 0;
    record->after[0] = 0;
    // Inside a callback of this widget the dispatch still uses the record; it releases it.
    if (record->in_use == 0) Release(record);
}

void CSubclass::AddMsg(QWidget* lng_hWnd, int32_t LMessage, int32_t When) {
    HookRecord* record = Find(lng_hWnd);
    if (record == nullptr) return;
    if ((When & kMsgWhenBefore) != 0) Add(record->before, LMessage);
    if ((When & kMsgWhenAfter) != 0) Add(record->after, LMessage);
}

void CSubclass::DelMsg(QWidget* lng_hWnd, int32_t LMessage, int32_t When) {
    HookRecord* record = Find(lng_hWnd);
    if (record == nullptr) return;
    if ((When & kMsgWhenBefore) != 0) Remove(record->before, LMessage);
    if ((When & kMsgWhenAfter) != 0) Remove(record->after, LMessage);
}

bool CSubclass::IsHooked(const QWidget* lng_hWnd) const { return Find(lng_hWnd) != nullptr; }

void CSubclass::WindowProc(bool, bool&, intptr_t&, QWidget*, int32_t, QEvent*, intptr_t&) {}

bool CSubclass::eventFilter(QObject* watched, QEvent* event) {
    HookRecord* record = FindForDispatch(watched);
    if (record == nullptr) return false;

    ++record->in_use;
    bool filtered = false;
    if (!record->shutdown) {
        const int32_t msg = event->type();
        bool handled = false;
        intptr_t result = 0;
        if (Holds(record->before, msg)) {
            record->callback->WindowProc(true, handled, result, record->window, msg, event,
                                         record->lParamUser);
        }
        if (handled) {
            filtered = true;
        } else if (Holds(record->after, msg) && record->window) {
            // The widget handles the event here, so that the after callback sees its outcome.
            // QObject::event is public where QWidget's override is not; the call is virtual.
            QObject* target = record->window;
            result = target->event(event) ? 1 : 0;
            filtered = true;
            // The widget may have been unhooked or destroyed while handling the event.
            if (!record->shutdown && record->window) {
                record->callback->WindowProc(false, handled, result, record->window, msg, event,
                                             record->lParamUser);
            }
        }
    }
    // Qt would hand the event on to a widget destroyed by a callback.
    if (!record->window) filtered = true;
    --record->in_use;
    if (record->in_use == 0 && record->shutdown) Release(record);
    return filtered;
}

bool CSubclass::Holds(const MessageTable& table, int32_t msg) {
    const int32_t count = table[0];
    if (count == kAllMessages) return true;
    return std::find(table.begin() + 1, table.begin() + 1 + count, msg) !=
           table.begin() + 1 + count;
}

void CSubclass::Add(MessageTable& table, int32_t msg) {
    if (msg == kAllMessages) {
        table[0] = kAllMessages;
        return;
    }
    int32_t& count = table[0];
    if (count == kAllMessages) {
        count = 1;
        table[1] = msg;
        return;
    }
    for (int32_t i = 1; i <= count; ++i) {
        if (table[i] == msg) return;
        if (table[i] == 0) {
            table[i] = msg;
            return;
        }
    }
    if (count == kMaxMessages) return;
    ++count;
    table[count] = msg;
}

void CSubclass::Remove(MessageTable& table, int32_t msg) {
    if (msg == kAllMessages) {
        table[0] = 0;
        return;
    }
    for (int32_t i = 1; i <= table[0]; ++i) {
        if (table[i] == msg) {
            table[i] = 0;
            return;
        }
    }
}

CSubclass::HookRecord* CSubclass::Find(const QObject* window) const {
    if (window == nullptr) return nullptr;
    for (const auto& record : records_) {
        if (record->keyed && record->key == window) return record.get();
    }
    return nullptr;
}

CSubclass::HookRecord* CSubclass::FindForDispatch(const QObject* window) const {
    if (HookRecord* record = Find(window)) return record;
    for (const auto& record : records_) {
        if (record->key == window) return record.get();
    }
    return nullptr;
}

void CSubclass::Release(HookRecord* record) {
    const QObject* key = record->key;
    const QPointer<QWidget> window = record->window;
    std::erase_if(records_, [record](const auto& r) { return r.get() == record; });
    if (FindForDispatch(key) != nullptr || !window) return;
    window->removeEventFilter(this);
    disconnect(window, &QObject::destroyed, this, &CSubclass::WindowDestroyed);
}

void CSubclass::WindowDestroyed(QObject* window) {
    // The widget's filters and connections go with it; only the records are left to end.
    for (const auto& record : records_) {
        if (record->key != window) continue;
        record->shutdown = true;
        record->keyed = false;
        record->before[0] = 0;
        record->after[0] = 0;
    }
    std::erase_if(records_, [window](const auto& r) { return r->key == window && r->in_use == 0; });
}

}  // namespace pictorra::controls
