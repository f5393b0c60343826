#include "app/desktop/links/link_actions.h"

#include "app/desktop/links/link_list_edits.h"
#include "app/desktop/links/link_texts.h"
#include "app/desktop/page_context.h"
#include "app/desktop/service_commands.h"
#include "app/desktop/shares/share_actions.h"
#include "app/desktop/window_services.h"
#include "app/usage/usage_stats.h"

namespace App {

using Velto::Corvane::Config;
using Velto::Corvane::ShareLink;

void MakeShareLink(PageContext& context, const std::string& shareId) {
    const auto& newLink = context.services.newLink;
    if (!newLink)
        return;
    const Config config = context.commands.Current();
    const Velto::Corvane::Share* found = config.FindShareById(shareId);
    if (!found)
        return;
    ReportFeature("make_link");
    newLink(*found, [&context](const ShareLink& link) -> std::optional<std::u16string> {
        // The share may have been removed while the dialog was open.
        if (!context.commands.Current().FindShareById(link.shareId))
            return std::nullopt;
        context.shares.Apply([link](Config& edited) { return AddLink(edited, link); });
        return LinkAddress(context.shownAddress ? context.shownAddress() : std::u16string{}, link);
    });
}

} // namespace App
