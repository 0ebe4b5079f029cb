// The window message hook. Event n is QEvent::User + n; kAll in a list op is every event.
#include "controls/c_subclass.h"

#include <QWidget>
#include <QtTest>
#include <functional>
#include <memory>

using namespace pictorra::controls;

namespace {
QStringList g_log;
constexpr int kAll = 1000;

// The widget says it handled the odd events.
struct Probe : QWidget {
    bool event(QEvent* e) override {
        if (e->type() < QEvent::User) return QWidget::event(e);
        g_log << QString("w%1").arg(e->type() - QEvent::User);
        return (e->type() - QEvent::User) % 2 == 1;
    }
};

struct Recorder : SubclassCallback {
    std::function<void(bool& handled, int n)> react;
    void WindowProc(bool bBefore, bool& bHandled, intptr_t& lReturn, QWidget*, int32_t uMsg,
                    QEvent*, intptr_t&) override {
        const int n = uMsg - QEvent::User;
        g_log << (bBefore ? QString("b%1").arg(n) : QString("a%1=%2").arg(n).arg(lReturn));
        if (react) react(bHandled, n);
    }
};

struct Hooked {
    Probe w;
    Recorder r;
    CSubclass hook;
    Hooked() { QVERIFY(hook.Subclass(&w, 0, 1, &r)); }
};

QStringList Send(QWidget* w, int n, bool clear = true) {
    if (clear) g_log.clear();
    QEvent e(static_cast<QEvent::Type>(QEvent::User + n));
    QCoreApplication::sendEvent(w, &e);
    return g_log;
}
}  // namespace

class CSubclassTest : public QObject {
    Q_OBJECT
private slots:
    // Each row: the event listed in `when` (2 is listed in both), whether the before phase
    // handles it or sends event 2 inside, and what the widget and callback see in order.
    void Phases() {
        // clang-format off
        const struct { int when, n; bool handle, nest; const char* log; } rows[] = {
            {0, 1, false, false, "w1"}, {kMsgWhenBefore, 1, false, false, "b1 w1"},
            {kMsgWhenAfter, 4, false, false, "w4 a4=0"}, {kMsgWhenAll, 1, true, false, "b1"},
            {kMsgWhenAll, 1, false, false, "b1 w1 a1=1"},
            {kMsgWhenAll, 1, false, true, "b1 b2 w2 a2=0 w1 a1=1 b2 w2 a2=0"}};
        // clang-format on
        for (const auto& row : rows) {
            Hooked h;
            QVERIFY(!h.hook.Subclass(&h.w));  // one record per widget
            h.r.react = [&](bool& handled, int n) {
                handled = row.handle;
                if (row.nest && n == 1) Send(&h.w, 2, false);
            };
            h.hook.AddMsg(&h.w, QEvent::User + row.n, row.when);
            h.hook.AddMsg(&h.w, QEvent::User + 2, kMsgWhenAll);
            QCOMPARE(Send(&h.w, row.n).join(' '), QString(row.log));
        }
    }

    // ops: n > 0 adds event n to the before list, n < 0 deletes it, kAll / -kAll add / delete
    // every event. Then `on` reach the callback and `off` do not.
    void Lists() {
        QList<int> to32;
        for (int n = 1; n <= 32; ++n) to32 << n;
        // clang-format off
        const struct { QList<int> ops, on, off; } rows[] = {
            {{1, 1, -1}, {}, {1}}, {to32 + QList<int>{33}, to32, {33}},
            {QList<int>{1, 2, -1} + to32.mid(2) + QList<int>{33}, {2, 32, 33}, {1}},
            {{kAll}, {1, 40}, {}}, {{kAll, 7}, {7}, {1}}, {{1, 2, -kAll}, {}, {1, 2}}};
        // clang-format on
        for (const auto& row : rows) {
            Hooked h;
            for (const int op : row.ops) {
                const int msg = std::abs(op) == kAll ? kAllMessages : QEvent::User + std::abs(op);
                op > 0 ? h.hook.AddMsg(&h.w, msg, kMsgWhenBefore)
                       : h.hook.DelMsg(&h.w, msg, kMsgWhenBefore);
            }
            for (const int n : row.on) QCOMPARE(Send(&h.w, n).size(), 2);
            for (const int n : row.off) QCOMPARE(Send(&h.w, n).size(), 1);
        }
    }

    // The widget still gets the event it was unhooked in and nothing more is reported; the
    // record must outlive that dispatch, and hooking again must work.
    void UnhookInsideCallback() {
        Hooked h;
        h.r.react = [&](bool&, int) {
            h.hook.UnSubclass(&h.w);
            Send(&h.w, 2, false);
        };
        h.hook.AddMsg(&h.w, kAllMessages, kMsgWhenAll);
        QCOMPARE(Send(&h.w, 1), (QStringList{"b1", "w2", "w1"}));
        QCOMPARE(Send(&h.w, 1), QStringList{"w1"});
        QVERIFY(h.hook.Subclass(&h.w, 0, 1, &h.r));
        h.hook.AddMsg(&h.w, QEvent::User + 1, kMsgWhenBefore);
        QCOMPARE(Send(&h.w, 1), (QStringList{"b1", "w2", "w1"}));
    }

    // A widget destroyed while hooked detaches; a hook destroyed first unhooks what is left.
    void WidgetOrHookGoesAway() {
        Recorder r;
        Probe kept;
        auto hook = std::make_unique<CSubclass>();
        auto w = std::make_unique<Probe>();
        volatile quintptr gone = reinterpret_cast<quintptr>(w.get());  // only compared later
        for (QWidget* x : {static_cast<QWidget*>(w.get()), static_cast<QWidget*>(&kept)}) {
            QVERIFY(hook->Subclass(x, 0, 1, &r));
            hook->AddMsg(x, kAllMessages, kMsgWhenAll);
        }
        w.reset();
        QVERIFY(!hook->IsHooked(reinterpret_cast<QWidget*>(gone)));
        hook.reset();
        QCOMPARE(Send(&kept, 1), QStringList{"w1"});
    }
};

QTEST_MAIN(CSubclassTest)
#include "c_subclass_test.moc"
