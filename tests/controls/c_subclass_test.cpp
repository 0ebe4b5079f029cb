// The window message hook: which phases see an event, the message lists and their limit,
// nesting, unhooking from inside a callback, and widgets or hooks that go away while hooked.

#include "controls/c_subclass.h"

#include <QApplication>
#include <QEvent>
#include <QStringList>
#include <QWidget>
#include <QtTest>
#include <functional>
#include <memory>

using pictorra::controls::CSubclass;
using pictorra::controls::kAllMessages;
using pictorra::controls::kMsgWhenAfter;
using pictorra::controls::kMsgWhenAll;
using pictorra::controls::kMsgWhenBefore;
using pictorra::controls::SubclassCallback;

namespace {

int32_t Msg(int n) { return QEvent::User + n; }

// Writes "widget N" to the shared log for every event numbered N (User + N) it is given;
// event() says it handled the odd ones.
class Probe : public QWidget {
public:
    explicit Probe(QStringList& log) : log_(log) {}

protected:
    bool event(QEvent* e) override {
        if (e->type() < QEvent::User) return QWidget::event(e);
        const int n = e->type() - QEvent::User;
        log_ << QString("widget %1").arg(n);
        return n % 2 == 1;
    }

private:
    QStringList& log_;
};

// Writes "before N" or "after N (lReturn)" to the same log; `react` runs inside the callback.
class Recorder : public SubclassCallback {
public:
    explicit Recorder(QStringList& log) : log_(log) {}
    std::function<void(bool before, bool& handled, int n)> react;
    intptr_t last_user = 0;

    void WindowProc(bool bBefore, bool& bHandled, intptr_t& lReturn, QWidget*, int32_t uMsg,
                    QEvent*, intptr_t& lParamUser) override {
        const int n = uMsg - QEvent::User;
        log_ << (bBefore ? QString("before %1").arg(n)
                         : QString("after %1 (%2)").arg(n).arg(lReturn));
        last_user = lParamUser++;
        if (react) react(bBefore, bHandled, n);
    }

private:
    QStringList& log_;
};

void Send(QWidget* widget, int n) {
    QEvent event(static_cast<QEvent::Type>(Msg(n)));
    QCoreApplication::sendEvent(widget, &event);
}

}  // namespace

class CSubclassTest : public QObject {
    Q_OBJECT

private slots:
    void Phases_data();
    void Phases();
    void Lists_data();
    void Lists();
    void RefusedSubclass_data();
    void RefusedSubclass();
    void NestedCallbacksAndUserValue();
    void UnhookInsideCallback();
    void WidgetDestroyedWhileHooked();
    void HookReleasedWithWidgetsHooked();
};

void CSubclassTest::Phases_data() {
    QTest::addColumn<int>("when");
    QTest::addColumn<bool>("handle");
    QTest::addColumn<int>("event");
    QTest::addColumn<QStringList>("log");

    QTest::newRow("not listed") << 0 << false << 1 << QStringList{"widget 1"};
    QTest::newRow("before") << kMsgWhenBefore << false << 1 << QStringList{"before 1", "widget 1"};
    QTest::newRow("after, handled by the widget")
        << kMsgWhenAfter << false << 1 << QStringList{"widget 1", "after 1 (1)"};
    QTest::newRow("after, left by the widget")
        << kMsgWhenAfter << false << 2 << QStringList{"widget 2", "after 2 (0)"};
    QTest::newRow("both") << kMsgWhenAll << false << 1
                          << QStringList{"before 1", "widget 1", "after 1 (1)"};
    QTest::newRow("both, handled before") << kMsgWhenAll << true << 1 << QStringList{"before 1"};
    QTest::newRow("after, bHandled ignored")
        << kMsgWhenAfter << true << 1 << QStringList{"widget 1", "after 1 (1)"};
}

void CSubclassTest::Phases() {
    QFETCH(int, when);
    QFETCH(bool, handle);
    QFETCH(int, event);
    QFETCH(QStringList, log);

    QStringList seen;
    Probe widget(seen);
    Recorder recorder(seen);
    recorder.react = [&](bool, bool& handled, int) { handled = handle; };
    CSubclass hook;
    QVERIFY(hook.Subclass(&widget, 0, 1, &recorder));
    hook.AddMsg(&widget, Msg(event), when);
    hook.AddMsg(&widget, Msg(9), kMsgWhenAll);  // another listed message changes nothing

    Send(&widget, event);
    QCOMPARE(seen, log);
}

// Operations: n > 0 adds User + n to the before list, n < 0 deletes User - n; kAdd/DelEvery
// add or delete -1. Then every event in `reported` reaches the callback and none in `silent`.
namespace {
constexpr int kAddEvery = 1000;
constexpr int kDelEvery = -1000;

QList<int> Range(int first, int last) {
    QList<int> list;
    for (int n = first; n <= last; ++n) list << n;
    return list;
}
}  // namespace

void CSubclassTest::Lists_data() {
    QTest::addColumn<QList<int>>("ops");
    QTest::addColumn<QList<int>>("reported");
    QTest::addColumn<QList<int>>("silent");

    QTest::newRow("added twice, deleted once")
        << QList<int>{1, 1, -1} << QList<int>{} << QList<int>{1};
    QTest::newRow("deleted slot leaves the others")
        << QList<int>{1, 2, 3, -2} << QList<int>{1, 3} << QList<int>{2};
    QTest::newRow("32 fit") << Range(1, 32) << Range(1, 32) << QList<int>{33};
    QTest::newRow("33rd refused") << Range(1, 33) << Range(1, 32) << QList<int>{33};
    QTest::newRow("33rd takes an emptied slot")
        << Range(1, 32) + QList<int>{-5, 33} << QList<int>{1, 4, 6, 32, 33} << QList<int>{5};
    QTest::newRow("emptied slot reused before the end")
        << QList<int>{1, 2, -1, 3} + Range(4, 32) + QList<int>{33} << QList<int>{2, 3, 32, 33}
        << QList<int>{1};
    QTest::newRow("every message") << QList<int>{kAddEvery} << QList<int>{1, 7, 40} << QList<int>{};
    QTest::newRow("one message replaces every message")
        << QList<int>{kAddEvery, 7} << QList<int>{7} << QList<int>{1, 8};
    QTest::newRow("delete every message empties")
        << QList<int>{1, 2, kDelEvery} << QList<int>{} << QList<int>{1, 2};
    QTest::newRow("delete one keeps every message")
        << QList<int>{kAddEvery, -3} << QList<int>{3, 4} << QList<int>{};
}

void CSubclassTest::Lists() {
    QFETCH(QList<int>, ops);
    QFETCH(QList<int>, reported);
    QFETCH(QList<int>, silent);

    QStringList seen;
    Probe widget(seen);
    Recorder recorder(seen);
    CSubclass hook;
    QVERIFY(hook.Subclass(&widget, 0, 1, &recorder));
    for (const int op : ops) {
        if (op == kAddEvery) {
            hook.AddMsg(&widget, kAllMessages, kMsgWhenBefore);
        } else if (op == kDelEvery) {
            hook.DelMsg(&widget, kAllMessages, kMsgWhenBefore);
        } else if (op > 0) {
            hook.AddMsg(&widget, Msg(op), kMsgWhenBefore);
        } else {
            hook.DelMsg(&widget, Msg(-op), kMsgWhenBefore);
        }
    }
    for (const int n : reported) {
        seen.clear();
        Send(&widget, n);
        QCOMPARE(seen, (QStringList{QString("before %1").arg(n), QString("widget %1").arg(n)}));
    }
    for (const int n : silent) {
        seen.clear();
        Send(&widget, n);
        QCOMPARE(seen, QStringList{QString("widget %1").arg(n)});
    }
}

void CSubclassTest::RefusedSubclass_data() {
    QTest::addColumn<QString>("what");
    QTest::newRow("no widget") << "null";
    QTest::newRow("routine ordinal 2") << "ordinal";
    QTest::newRow("second Subclass of the same widget") << "twice";
}

void CSubclassTest::RefusedSubclass() {
    QFETCH(QString, what);

    QStringList seen;
    Probe widget(seen);
    Recorder first(seen);
    Recorder second(seen);
    second.react = [&](bool, bool& handled, int) { handled = true; };
    CSubclass hook;
    if (what == "null") QVERIFY(!hook.Subclass(nullptr, 0, 1, &second));
    if (what == "ordinal") QVERIFY(!hook.Subclass(&widget, 0, 2, &second));
    if (what == "twice") {
        QVERIFY(hook.Subclass(&widget, 0, 1, &first));
        hook.AddMsg(&widget, Msg(1), kMsgWhenBefore);
        QVERIFY(!hook.Subclass(&widget, 0, 1, &second));
    }
    QCOMPARE(hook.IsHooked(&widget), what == "twice");

    // A refused Subclass leaves the widget as it was: the second callback never runs.
    Send(&widget, 1);
    QStringList expected{"widget 1"};
    if (what == "twice") expected.prepend("before 1");
    QCOMPARE(seen, expected);
}

void CSubclassTest::NestedCallbacksAndUserValue() {
    QStringList seen;
    Probe widget(seen);
    Recorder recorder(seen);
    recorder.react = [&](bool before, bool&, int n) {
        if (before && n == 1) Send(&widget, 2);
    };
    CSubclass hook;
    QVERIFY(hook.Subclass(&widget, 40, 1, &recorder));
    hook.AddMsg(&widget, Msg(1), kMsgWhenAll);
    hook.AddMsg(&widget, Msg(2), kMsgWhenAll);

    Send(&widget, 1);
    QCOMPARE(seen, (QStringList{"before 1", "before 2", "widget 2", "after 2 (0)", "widget 1",
                                "after 1 (1)"}));
    // The callback counted up lParamUser on each of its four calls; the record kept it.
    QCOMPARE(recorder.last_user, 43);
    QVERIFY(hook.IsHooked(&widget));
}

void CSubclassTest::UnhookInsideCallback() {
    QStringList seen;
    Probe widget(seen);
    Recorder recorder(seen);
    CSubclass hook;
    recorder.react = [&](bool before, bool&, int n) {
        if (!before || n != 1) return;
        hook.UnSubclass(&widget);
        QVERIFY(!hook.IsHooked(&widget));
        Send(&widget, 2);  // still inside the dispatch of 1: passes straight through
    };
    QVERIFY(hook.Subclass(&widget, 0, 1, &recorder));
    hook.AddMsg(&widget, Msg(1), kMsgWhenAll);
    hook.AddMsg(&widget, Msg(2), kMsgWhenAll);

    Send(&widget, 1);
    // The widget still handles the event it was unhooked in; nothing more is reported.
    QCOMPARE(seen, (QStringList{"before 1", "widget 2", "widget 1"}));

    seen.clear();
    Send(&widget, 1);
    QCOMPARE(seen, QStringList{"widget 1"});

    // Unhooked for good: it can be hooked again.
    recorder.react = nullptr;
    QVERIFY(hook.Subclass(&widget, 0, 1, &recorder));
    hook.AddMsg(&widget, Msg(1), kMsgWhenBefore);
    seen.clear();
    Send(&widget, 1);
    QCOMPARE(seen, (QStringList{"before 1", "widget 1"}));
}

void CSubclassTest::WidgetDestroyedWhileHooked() {
    QStringList seen;
    Recorder recorder(seen);
    CSubclass hook;
    auto widget = std::make_unique<Probe>(seen);
    // Only the address of the destroyed widget is used, never the widget.
    volatile quintptr address = reinterpret_cast<quintptr>(widget.get());
    QVERIFY(hook.Subclass(widget.get(), 0, 1, &recorder));
    hook.AddMsg(widget.get(), kAllMessages, kMsgWhenAll);
    widget.reset();
    auto* gone = reinterpret_cast<QWidget*>(address);

    QVERIFY(!hook.IsHooked(gone));
    hook.UnSubclass(gone);
    hook.AddMsg(gone, Msg(1), kMsgWhenBefore);
    hook.DelMsg(gone, Msg(1), kMsgWhenBefore);

    // A new widget (perhaps at the same address) starts with empty lists.
    Probe next(seen);
    QVERIFY(hook.Subclass(&next, 0, 1, &recorder));
    seen.clear();
    Send(&next, 1);
    QCOMPARE(seen, QStringList{"widget 1"});
}

void CSubclassTest::HookReleasedWithWidgetsHooked() {
    QStringList seen;
    Probe first(seen);
    Probe second(seen);
    Recorder recorder(seen);
    {
        CSubclass hook;
        QVERIFY(hook.Subclass(&first, 0, 1, &recorder));
        QVERIFY(hook.Subclass(&second, 0, 1, &recorder));
        hook.AddMsg(&first, Msg(1), kMsgWhenAll);
        hook.AddMsg(&second, Msg(1), kMsgWhenAll);
    }
    Send(&first, 1);
    Send(&second, 1);
    QCOMPARE(seen, (QStringList{"widget 1", "widget 1"}));
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    CSubclassTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "c_subclass_test.moc"
