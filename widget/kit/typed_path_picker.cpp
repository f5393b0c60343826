#include "widget/kit/typed_path_picker.h"

#include "base/diag_log.h"

namespace Velto::Widget::Kit {

PickOutcome PickWithTypedPath(const PickRequest& request) {
    Net::DiagLog::Instance().Log(
        Net::LogLevel::Warning, u"Kit",
        std::string_view(request.WantsFolders()
                             ? "no folder picker: no portal, zenity or kdialog, and no toolkit "
                               "fallback yet"
                             : "no file picker: no portal, zenity or kdialog, and no toolkit "
                               "fallback yet"));
    return PickOutcome::Unavailable();
}

} // namespace Velto::Widget::Kit
