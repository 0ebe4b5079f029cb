// The help viewer over the help file the build makes: every page loads whole with its style sheet,
// links and history work, links out of the file go to the desktop, and ShowHelp's three outcomes.
#include "shell/help_viewer.h"

#include <QDesktopServices>
#include <QFile>
#include <QTextBlock>
#include <QToolButton>
#include <algorithm>
#include <tuple>
#include <vector>

#include "shell/help_topics.h"
#include "shell/message_box.h"
#include "widget_test_main.h"

using namespace pictorra::shell;

namespace {

struct FakeBoxes : MessageBoxes {
    std::vector<std::string> shown;
    bool Ask(const std::string& text) override {
        shown.push_back(text);
        return false;
    }
    void Inform(const std::string& text) override { shown.push_back(text); }
    void Plain(const std::string& text) override { shown.push_back(text); }
};

// A browser that notes every resource asked for and whether it was found.
struct RecordingBrowser : ChmBrowser {
    using ChmBrowser::ChmBrowser;
    std::vector<std::tuple<int, QUrl, bool>> loads;
    QVariant loadResource(int type, const QUrl& name) override {
        QVariant value = ChmBrowser::loadResource(type, name);
        loads.emplace_back(type, name, value.isValid());
        return value;
    }
};

// Where in the browser's viewport the first link to `href` is drawn; (-1,-1) when there is none.
QPoint LinkPoint(const QTextBrowser& browser, const QString& href) {
    for (QTextBlock block = browser.document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().anchorHref() != href || fragment.length() < 3) continue;
            QTextCursor cursor(browser.document());
            cursor.setPosition(fragment.position() + 1);
            return browser.cursorRect(cursor).center() + QPoint(2, 0);
        }
    }
    return {-1, -1};
}

}  // namespace

class HelpViewerTest : public QObject {
    Q_OBJECT
public slots:
    void OpenedOutside(const QUrl& url) { opened_outside_ << url; }

private:
    QList<QUrl> opened_outside_;

private slots:
    // Every page of the file (every topic's and the default page among them) reads as a titled
    // document with its style sheet, and nothing it refers to is missing.
    void EveryPageLoadsWithItsResources() {
        ChmFile file(PICTORRA_HELP_FILE);
        QVERIFY(file.IsOpen());
        std::vector<std::string> pages = {kHelpDefaultPage};
        for (const HelpTopic& t : kHelpTopics) pages.emplace_back(t.page);
        for (const std::string& stored : file.ListFiles())
            if (stored.ends_with(".htm")) pages.push_back(stored);
        std::sort(pages.begin(), pages.end());
        pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
        RecordingBrowser browser(std::move(file));
        for (const std::string& page : pages) {
            browser.loads.clear();
            browser.setSource(ChmBrowser::UrlFor(page));
            QCOMPARE(browser.Page(), page);
            QVERIFY2(!browser.documentTitle().isEmpty(), page.c_str());
            QVERIFY2(browser.toPlainText().size() > 200, page.c_str());
            int style_sheets = 0;
            for (const auto& [type, url, found] : browser.loads) {
                QVERIFY2(found,
                         qPrintable(QString::fromStdString(page) + " needs " + url.toString()));
                style_sheets += type == QTextDocument::StyleSheetResource;
            }
            QVERIFY2(style_sheets > 0, page.c_str());
        }
        // A page reached through the history finds its style sheet too.
        browser.loads.clear();
        browser.backward();
        QVERIFY(!browser.loads.empty());
        for (const auto& [type, url, found] : browser.loads)
            QVERIFY2(found, qPrintable(url.toString()));
        // Nothing is read from outside the file.
        QVERIFY(!browser
                     .loadResource(QTextDocument::StyleSheetResource,
                                   QUrl::fromLocalFile(PICTORRA_HELP_FILE))
                     .isValid());
    }

    // A click on a link in the page opens its page; Back, Forward (buttons and Alt+arrows) and
    // Home walk the history, each enabled only when it leads somewhere.
    void LinksAndHistory() {
        HelpWindows windows;
        FakeBoxes boxes;
        QCOMPARE(windows.ShowHelp(nullptr, PICTORRA_HELP_FILE, "", boxes), 1);
        HelpViewer* viewer = windows.Viewer();
        QVERIFY(QTest::qWaitForWindowActive(viewer));
        auto* browser = viewer->findChild<ChmBrowser*>("HelpBrowser");
        auto* back = viewer->findChild<QToolButton*>("HelpBack");
        auto* forward = viewer->findChild<QToolButton*>("HelpForward");
        auto* home = viewer->findChild<QToolButton*>("HelpHome");
        QVERIFY(browser && back && forward && home);
        QCOMPARE(viewer->windowTitle(), QString("Pictorra Help"));
        QVERIFY(!back->isEnabled() && !forward->isEnabled());

        const QPoint link = LinkPoint(*browser, "pctr9flj.htm");
        QVERIFY(link.x() >= 0);
        QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, link);
        QCOMPARE(browser->Page(), std::string("/html/pctr9flj.htm"));
        QVERIFY(back->isEnabled() && !forward->isEnabled());

        back->click();
        QCOMPARE(browser->Page(), std::string(kHelpDefaultPage));
        QVERIFY(!back->isEnabled() && forward->isEnabled());
        // A shortcut clicks its button the way a user sees it pressed, a moment later.
        QTest::keyClick(viewer, Qt::Key_Right, Qt::AltModifier);
        QTRY_COMPARE(browser->Page(), std::string("/html/pctr9flj.htm"));
        QTest::keyClick(viewer, Qt::Key_Left, Qt::AltModifier);
        QTRY_COMPARE(browser->Page(), std::string(kHelpDefaultPage));

        QCOMPARE(windows.ShowHelp(nullptr, PICTORRA_HELP_FILE, "tools", boxes), 1);
        QCOMPARE(browser->Page(), std::string("/html/pctr9f5d.htm"));
        home->click();
        QCOMPARE(browser->Page(), std::string(kHelpDefaultPage));
        QVERIFY(boxes.shown.empty());
    }

    // Web and mail addresses go to the desktop and leave the page and history as they were.
    void OutsideLinksOpenOnTheDesktop() {
        for (const char* scheme : {"https", "http", "mailto"})
            QDesktopServices::setUrlHandler(scheme, this, "OpenedOutside");
        RecordingBrowser browser{ChmFile(PICTORRA_HELP_FILE)};
        browser.setSource(ChmBrowser::UrlFor("/html/pctr9flh.htm"));
        opened_outside_.clear();
        const QList<QUrl> outside = {QUrl("https://example.org/prints"),
                                     QUrl("mailto:help@example.org")};
        for (const QUrl& url : outside) browser.setSource(url);
        QCOMPARE(opened_outside_, outside);
        QCOMPARE(browser.Page(), std::string("/html/pctr9flh.htm"));
        QVERIFY(!browser.isBackwardAvailable());
        for (const char* scheme : {"https", "http", "mailto"})
            QDesktopServices::unsetUrlHandler(scheme);
    }

    // A missing file and one that is not a help file each say the file is missing, once, and
    // open no window.
    void MissingOrUnreadableFileSaysSoOnce() {
        QTemporaryDir dir;
        const QString damaged = dir.filePath("pictorra.chm");
        QFile out(damaged);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(QByteArray(4096, 'x'));
        out.close();
        const struct {
            std::string path;
            int result;
        } rows[] = {{dir.filePath("absent/pictorra.chm").toStdString(), -1},
                    {damaged.toStdString(), 0},
                    {dir.path().toStdString(), -1}};
        for (const auto& row : rows) {
            HelpWindows windows;
            FakeBoxes boxes;
            QCOMPARE(windows.ShowHelp(nullptr, row.path, "crop", boxes), row.result);
            QCOMPARE(boxes.shown, std::vector<std::string>{kMissingHelpMessage});
            QCOMPARE(windows.Viewer(), nullptr);
            for (QWidget* top : QApplication::topLevelWidgets())
                QVERIFY(!qobject_cast<HelpViewer*>(top));
        }
    }

    // Topic keys are exact: anything else opens the default page, in the one viewer of the run.
    void TopicsPickThePageInOneViewer() {
        HelpWindows windows;
        FakeBoxes boxes;
        const struct {
            const char* topic;
            const char* page;
        } rows[] = {{"mount", "/html/pctr9flh.htm"}, {"Mount", kHelpDefaultPage},
                    {"unknown", kHelpDefaultPage},   {"options", "/html/pctr9f5h.htm"},
                    {"", kHelpDefaultPage},          {"html\\pctr9fld.htm", kHelpDefaultPage}};
        HelpViewer* first = nullptr;
        for (const auto& row : rows) {
            QCOMPARE(windows.ShowHelp(nullptr, PICTORRA_HELP_FILE, row.topic, boxes), 1);
            if (first == nullptr) first = windows.Viewer();
            QCOMPARE(windows.Viewer(), first);
            QVERIFY(first->isVisible());
            QCOMPARE(first->Browser()->Page(), std::string(row.page));
            first->close();
        }
        QVERIFY(boxes.shown.empty());
    }
};

PICTORRA_WIDGET_TEST_MAIN(HelpViewerTest)
#include "help_viewer_test.moc"
