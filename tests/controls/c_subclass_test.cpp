// The window message hook: which phases see an event, the message lists and their limit,
// nesting, unhooking inside a callback, and widgets or hooks that go away while hooked.

#include "controls/c_subclass.h"

#include <QApplication>
#include <QWidget>
#include <QtTest>
#include <cstdlib>
#include <functional>
#include <memory>

using namespace pictorra::controls;

namespace {

// Event n is QEvent::User + n. The widget and the callback write what they see to one log;
// the widget says it handled the odd events.
class Probe : public QWidget {
public:
    explicit Probe(QStringList& log) : log_(log) {}

protected:
    bool event(QEvent* e) override {
        if (e->type() < QEvent::User) return QWidget::event(e);
        log_ << QString("widget %1").arg(e->type() - QEvent::User);
        return (e->type() - QEvent::User) % 2 == 1;
    }

private:
    QStringList& log_;
};

struct Recorder : SubclassCallback {
    explicit Recorder(QStringList& log) : log(log) {}
    QStringList& log;
    std::function<void(bool before, bool& handled, int n)> react;
    intptr_t last_user = 0;

    void WindowProc(bool bBefore, bool& bHandled, intptr_t& lReturn, QWidget*, int32_t uMsg,
                    QEvent*, intptr_t& lParamUser) override {
        const int n = uMsg - QEvent::User;
        log << (bBefore ? QString("before %1").arg(n)
                        : QString("after %1 (%2)").arg(n).arg(lReturn));
        last_user = lParamUser++;
        if (react) react(bBefore, bHandled, n);
    }
};

void Send(QWidget* widget, int n) {
    QEvent event(static_cast<QEvent::Type>(QEvent::User + n));
    QCoreApplication::sendEvent(widget, &event);
}

// A widget hooked with a recording callback.
struct Hooked {
    QStringList log;
    Probe widget{log};
    Recorder recorder{log};
    CSubclass hook;
    explicit Hooked(intptr_t user = 0) { QVERIFY(hook.Subclass(&widget, user, 1, &recorder)); }
    void Add(int n, int32_t when) { hook.AddMsg(&widget, QEvent::User + n, when); }
    QStringList Sent(int n) {
        log.clear();
        Send(&widget, n);
        return log;
    }
};

}  // namespace

class CSubclassTest : public QObject {
    Q_OBJECT

private slots:
    void Phases_data() {
        QTest::addColumn<int>("when");
        QTest::addColumn<bool>("handle");
        QTest::addColumn<int>("event");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("not listed") << 0 << false << 1 << QStringList{"widget 1"};
        QTest::newRow("before") << kMsgWhenBefore << false << 1
                                << QStringList{"before 1", "widget 1"};
        QTest::newRow("after") << kMsgWhenAfter << false << 1
                               << QStringList{"widget 1", "after 1 (1)"};
        QTest::newRow("after, widget returned false")
            << kMsgWhenAfter << false << 2 << QStringList{"widget 2", "after 2 (0)"};
        QTest::newRow("both") << kMsgWhenAll << false << 1
                              << QStringList{"before 1", "widget 1", "after 1 (1)"};
        QTest::newRow("handled before") << kMsgWhenAll << true << 1 << QStringList{"before 1"};
    }
    void Phases() {
        QFETCH(int, when);
        QFETCH(bool, handle);
        QFETCH(int, event);
        QFETCH(QStringList, log);
        Hooked h;
        h.recorder.react = [&](bool, bool& handled, int) { handled = handle; };
        h.Add(event, when);
        h.Add(9, kMsgWhenAll);
        QCOMPARE(h.Sent(event), log);
    }

    // ops: n > 0 adds event n to the before list, n < 0 deletes event -n, kAll adds every
    // event, -kAll deletes every event. Then the events in `reported` reach the callback and
    // those in `silent` do not.
    void Lists_data() {
        QTest::addColumn<QList<int>>("ops");
        QTest::addColumn<QList<int>>("reported");
        QTest::addColumn<QList<int>>("silent");
        QList<int> first32;
        for (int n = 1; n <= 32; ++n) first32 << n;
        QTest::newRow("added twice, deleted once")
            << QList<int>{1, 1, -1} << QList<int>{} << QList<int>{1};
        QTest::newRow("32 fit, 33rd refused")
            << first32 + QList<int>{33} << first32 << QList<int>{33};
        QTest::newRow("33rd takes an emptied slot")
            << first32 + QList<int>{-5, 33} << QList<int>{4, 6, 32, 33} << QList<int>{5};
        QTest::newRow("emptied slot reused before the end")
            << QList<int>{1, 2, -1} + first32.mid(2) + QList<int>{33} << QList<int>{2, 3, 32, 33}
            << QList<int>{1};
        QTest::newRow("every event") << QList<int>{kAll} << QList<int>{1, 40} << QList<int>{};
        QTest::newRow("one event replaces every event")
            << QList<int>{kAll, 7} << QList<int>{7} << QList<int>{1, 8};
        QTest::newRow("delete every event")
            << QList<int>{1, 2, -kAll} << QList<int>{} << QList<int>{1, 2};
    }
    void Lists() {
        QFETCH(QList<int>, ops);
        QFETCH(QList<int>, reported);
        QFETCH(QList<int>, silent);
        Hooked h;
        for (const int op : ops) {
            const int32_t msg = std::abs(op) == kAll ? kAllMessages : QEvent::User + std::abs(op);
            if (op > 0) h.hook.AddMsg(&h.widget, msg, kMsgWhenBefore);
            if (op < 0) h.hook.DelMsg(&h.widget, msg, kMsgWhenBefore);
        }
        for (const int n : reported) QCOMPARE(h.Sent(n).size(), 2);
        for (const int n : silent) QCOMPARE(h.Sent(n).size(), 1);
    }

    void SecondSubclassRefused() {
        Hooked h;
        h.Add(1, kMsgWhenBefore);
        Recorder other(h.log);
        other.react = [](bool, bool& handled, int) { handled = true; };
        QVERIFY(!h.hook.Subclass(&h.widget, 0, 1, &other));
        QVERIFY(!h.hook.Subclass(nullptr));
        Probe unhooked(h.log);
        QVERIFY(!h.hook.Subclass(&unhooked, 0, 2));  // the callback has no second routine
        QCOMPARE(h.Sent(1), (QStringList{"before 1", "widget 1"}));
    }

    void NestingAndUserValue() {
        Hooked h(40);
        h.recorder.react = [&](bool before, bool&, int n) {
            if (before && n == 1) Send(&h.widget, 2);
        };
        h.Add(1, kMsgWhenAll);
        h.Add(2, kMsgWhenAll);
        QCOMPARE(h.Sent(1), (QStringList{"before 1", "before 2", "widget 2", "after 2 (0)",
                                         "widget 1", "after 1 (1)"}));
        QCOMPARE(h.recorder.last_user, 43);  // four calls counted the record's value up
    }

    void UnhookInsideCallback() {
        Hooked h;
        h.recorder.react = [&](bool, bool&, int) {
            h.hook.UnSubclass(&h.widget);
            Send(&h.widget, 2);  // inside the dispatch of 1: passes straight through
        };
        h.Add(1, kMsgWhenAll);
        h.Add(2, kMsgWhenAll);
        // The widget still handles the event it was unhooked in, and nothing more is reported.
        QCOMPARE(h.Sent(1), (QStringList{"before 1", "widget 2", "widget 1"}));
        QCOMPARE(h.Sent(1), QStringList{"widget 1"});
        h.recorder.react = nullptr;
        QVERIFY(h.hook.Subclass(&h.widget, 0, 1, &h.recorder));
        h.Add(1, kMsgWhenBefore);
        QCOMPARE(h.Sent(1), (QStringList{"before 1", "widget 1"}));
    }

    void WidgetDestroyedWhileHooked() {
        QStringList log;
        Recorder recorder(log);
        CSubclass hook;
        auto widget = std::make_unique<Probe>(log);
        volatile quintptr address = reinterpret_cast<quintptr>(widget.get());
        QVERIFY(hook.Subclass(widget.get(), 0, 1, &recorder));
        hook.AddMsg(widget.get(), kAllMessages, kMsgWhenAll);
        widget.reset();
        auto* gone = reinterpret_cast<QWidget*>(address);  // only the address is used
        QVERIFY(!hook.IsHooked(gone));
        hook.AddMsg(gone, QEvent::User + 1, kMsgWhenBefore);
        hook.UnSubclass(gone);
    }

    void HookReleasedWithWidgetsHooked() {
        QStringList log;
        Probe first(log);
        Probe second(log);
        Recorder recorder(log);
        {
            CSubclass hook;
            for (QWidget* w : {&first, &second}) {
                QVERIFY(hook.Subclass(w, 0, 1, &recorder));
                hook.AddMsg(w, kAllMessages, kMsgWhenAll);
            }
        }
        Send(&first, 1);
        Send(&second, 1);
        QCOMPARE(log, (QStringList{"widget 1", "widget 1"}));
    }

private:
    static constexpr int kAll = 1000;
};

QTEST_MAIN(CSubclassTest)
#include "c_subclass_test.moc"
