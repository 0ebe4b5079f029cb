#pragma once
// The help viewer: the pages of the compiled help file in a window of their own, with Back,
// Forward and Home. Everything a page shows (the page, its style sheet, its pictures) is read
// from the help file; links that leave the file (web, e-mail) go to the desktop's own programs.
//
// One viewer serves the whole run. HelpWindows holds it: the start-up object owns a HelpWindows,
// every "?" asks it through ShowHelp, and the viewer goes when the HelpWindows does.

#include <QTextBrowser>
#include <QWidget>
#include <memory>
#include <string>

#include "shell/chm_file.h"

class QToolButton;

namespace pictorra::shell {

class MessageBoxes;

// The text of a help page: in the character set its meta tag (or byte order mark) names, UTF-8
// when it names none, Latin-1 when it names one Qt cannot decode (old pages are mostly that).
QString DecodeHelpPage(const QByteArray& bytes);

// The page of `file` to show for `page` ("/html/..."): the page itself when the file holds it,
// else the file's default page, else "" (nothing in the file can be shown).
std::string PageToShow(const ChmFile& file, const std::string& page);

// A text browser over an open help file. Pages are addressed as "chm:/html/page.htm"; relative
// links and resources resolve against the page that refers to them.
class ChmBrowser : public QTextBrowser {
    Q_OBJECT
public:
    static constexpr char kScheme[] = "chm";

    explicit ChmBrowser(ChmFile file, QWidget* parent = nullptr);

    // The address of a path inside the file ("/html/pctr9fld.htm").
    static QUrl UrlFor(const std::string& path);

    const ChmFile& File() const { return file_; }

    // The path inside the file of the page shown, "" before the first page.
    std::string Page() const;

    // Reads pages, style sheets and pictures from the help file; nothing from anywhere else.
    QVariant loadResource(int type, const QUrl& name) override;

protected:
    // Addresses outside the file open on the desktop and leave the page and history alone.
    void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;

private:
    ChmFile file_;
    QUrl page_;  // the page last read, which relative names resolve against
};

class HelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit HelpViewer(ChmFile file, QWidget* parent = nullptr);

    // Shows a page of the file ("/html/..."), the default page when the file lacks it.
    void ShowPage(const std::string& page);
    void ShowHome();

    ChmBrowser* Browser() const { return browser_; }

private:
    ChmBrowser* browser_;
    QToolButton* back_;
    QToolButton* forward_;
    QToolButton* home_;
};

class HelpWindows {
public:
    HelpWindows();
    ~HelpWindows();
    HelpWindows(const HelpWindows&) = delete;
    HelpWindows& operator=(const HelpWindows&) = delete;

    // Opens the help file at help_path on the page for `topic` (see DecideHelp), in the run's one
    // viewer, and brings the viewer to the front. Returns 1 when the page is shown; -1 when the
    // file is missing and 0 when it cannot be read, after telling the user through `boxes` with
    // kMissingHelpMessage either way (to the user an unreadable file is as good as none).
    int ShowHelp(QWidget* owner, const std::string& help_path, const std::string& topic,
                 MessageBoxes& boxes);

    // The viewer, null before the first page was shown.
    HelpViewer* Viewer() const { return viewer_.get(); }

private:
    std::unique_ptr<HelpViewer> viewer_;
    std::string path_;  // the help file the viewer reads
};

}  // namespace pictorra::shell
