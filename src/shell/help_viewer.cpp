#include "shell/help_viewer.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QImage>
#include <QStringDecoder>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <utility>

#include "shell/help_topics.h"
#include "shell/message_box.h"

namespace pictorra::shell {
namespace {

QByteArray ToBytes(const std::vector<uint8_t>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

// Where the viewer first opens: a little below and right of the window that asked, so that it
// comes up on the same screen without hiding the control the user asked about.
constexpr int kOwnerOffset = 40;

}  // namespace

QString DecodeHelpPage(const QByteArray& bytes) {
    QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
    if (!decoder.isValid()) decoder = QStringDecoder(QStringDecoder::Latin1);
    return decoder.decode(bytes);
}

std::string PageToShow(const ChmFile& file, const std::string& page) {
    if (!page.empty() && file.Contains(page)) return page;
    std::string home = file.DefaultTopic();
    if (home.empty()) home = kHelpDefaultPage;
    return file.Contains(home) ? home : std::string();
}

ChmBrowser::ChmBrowser(ChmFile file, QWidget* parent)
    : QTextBrowser(parent), file_(std::move(file)) {
    // Links are followed through doSetSource, which keeps addresses outside the file out of here.
    setOpenLinks(true);
    setOpenExternalLinks(false);
}

QUrl ChmBrowser::UrlFor(const std::string& path) {
    QUrl url;
    url.setScheme(QString::fromLatin1(kScheme));
    url.setPath(QString::fromStdString(path));
    return url;
}

std::string ChmBrowser::Page() const {
    const QUrl url = source();
    if (url.scheme() != QLatin1String(kScheme)) return {};
    return url.path(QUrl::FullyDecoded).toStdString();
}

QVariant ChmBrowser::loadResource(int type, const QUrl& name) {
    const QUrl url = name.isRelative() ? page_.resolved(name) : name;
    if (url.scheme() != QLatin1String(kScheme)) return {};
    const auto bytes = file_.Read(url.path(QUrl::FullyDecoded).toStdString());
    if (!bytes) return {};
    const QByteArray data = ToBytes(*bytes);
    switch (type) {
        case QTextDocument::HtmlResource:
            // Whatever the page refers to is relative to the page, also when it was reached
            // through Back or Forward, which read the page without passing doSetSource.
            page_ = url.adjusted(QUrl::RemoveFragment | QUrl::RemoveQuery);
            return DecodeHelpPage(data);
        case QTextDocument::StyleSheetResource:
            return QString::fromUtf8(data);
        case QTextDocument::ImageResource: {
            QImage image;
            if (!image.loadFromData(data)) return {};
            return image;
        }
        default:
            return data;
    }
}

void ChmBrowser::doSetSource(const QUrl& name, QTextDocument::ResourceType type) {
    const QUrl url = name.isRelative() ? source().resolved(name) : name;
    if (url.scheme() != QLatin1String(kScheme)) {
        QDesktopServices::openUrl(url);
        return;
    }
    QTextBrowser::doSetSource(url, type);
}

HelpViewer::HelpViewer(ChmFile file, QWidget* parent)
    : QWidget(parent),
      browser_(new ChmBrowser(std::move(file), this)),
      back_(new QToolButton(this)),
      forward_(new QToolButton(this)),
      home_(new QToolButton(this)) {
    setWindowTitle(tr("Pictorra Help"));
    // The help stays open beside the program but does not keep it running once the main window
    // is closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    browser_->setObjectName("HelpBrowser");

    const struct {
        QToolButton* button;
        const char* name;
        QString text;
        QStyle::StandardPixmap icon;
        QKeySequence keys;
    } buttons[] = {
        {back_, "HelpBack", tr("Back"), QStyle::SP_ArrowBack, QKeySequence(Qt::ALT | Qt::Key_Left)},
        {forward_, "HelpForward", tr("Forward"), QStyle::SP_ArrowForward,
         QKeySequence(Qt::ALT | Qt::Key_Right)},
        {home_, "HelpHome", tr("Home"), QStyle::SP_DirHomeIcon, QKeySequence()},
    };
    auto* bar = new QHBoxLayout;
    for (const auto& b : buttons) {
        b.button->setObjectName(b.name);
        b.button->setText(b.text);
        b.button->setIcon(style()->standardIcon(b.icon));
        b.button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b.button->setAutoRaise(true);
        // A disabled button's shortcut does nothing, so Alt+Left at the start of the history
        // stays quiet.
        if (!b.keys.isEmpty()) b.button->setShortcut(b.keys);
        bar->addWidget(b.button);
    }
    bar->addStretch(1);
    back_->setEnabled(false);
    forward_->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(bar);
    layout->addWidget(browser_, 1);

    connect(back_, &QToolButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward_, &QToolButton::clicked, browser_, &QTextBrowser::forward);
    connect(home_, &QToolButton::clicked, this, &HelpViewer::ShowHome);
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QToolButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QToolButton::setEnabled);

    // Wide enough for the pages' tables, short enough to sit beside the main window.
    resize(720, 560);
}

void HelpViewer::ShowPage(const std::string& page) {
    const std::string shown = PageToShow(browser_->File(), page);
    if (!shown.empty()) browser_->setSource(ChmBrowser::UrlFor(shown));
}

void HelpViewer::ShowHome() { ShowPage(browser_->File().DefaultTopic()); }

HelpWindows::HelpWindows() = default;
HelpWindows::~HelpWindows() = default;

int HelpWindows::ShowHelp(QWidget* owner, const std::string& help_path, const std::string& topic,
                          MessageBoxes& boxes) {
    const HelpRequest request = DecideHelp(help_path, topic);
    if (request.file_missing) {
        boxes.Inform(kMissingHelpMessage);
        return -1;
    }
    if (!viewer_ || path_ != help_path) {
        ChmFile file(help_path);
        if (!file.IsOpen() || PageToShow(file, request.page).empty()) {
            boxes.Inform(kMissingHelpMessage);
            return 0;
        }
        viewer_ = std::make_unique<HelpViewer>(std::move(file));
        path_ = help_path;
        if (owner != nullptr)
            viewer_->move(owner->window()->frameGeometry().topLeft() +
                          QPoint(kOwnerOffset, kOwnerOffset));
    }
    viewer_->ShowPage(request.page);
    viewer_->setWindowState(viewer_->windowState() & ~Qt::WindowMinimized);
    viewer_->show();
    viewer_->raise();
    viewer_->activateWindow();
    return 1;
}

}  // namespace pictorra::shell
