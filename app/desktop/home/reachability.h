#pragma once

#include "app/texts/ui_language.h"
#include "service/service_status.h"
#include "widget/render/theme.h"

#include <string>
#include <vector>

namespace App {

// One line of the explanation: an icon in a tone beside a wrapped text.
struct InfoLine {
    char32_t glyph{0};
    Velto::Widget::Tone iconTone{Velto::Widget::Tone::Primary};
    std::u16string text;
    Velto::Widget::Tone textTone{Velto::Widget::Tone::Primary};
};

// How visitors from the Internet reach a running server: what the router
// mapping achieved, or that this machine has a public address of its own,
// and, where the user has to forward the port by hand, how to do that.
struct Reachability {
    std::vector<InfoLine> lines;
    std::vector<std::u16string> manualHelp;
};

Reachability ExplainReachability(const Velto::Corvane::ServiceStatus& status, UiLanguage language);

} // namespace App
