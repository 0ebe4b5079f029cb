#include "shell/help_topics.h"

#include "shell/file_ops.h"

namespace pictorra::shell {

std::string_view HelpPageFor(std::string_view topic) {
    for (const HelpTopic& t : kHelpTopics) {
        if (t.key == topic) return t.page;
    }
    return kHelpDefaultPage;
}

HelpRequest DecideHelp(const std::string& help_path, std::string_view topic) {
    if (!FileExists(help_path)) return {.file_missing = true, .page = {}};
    return {.file_missing = false, .page = std::string(HelpPageFor(topic))};
}

}  // namespace pictorra::shell
