#pragma once

#include "app/desktop/config_edit.h"
#include "app/desktop/page.h"
#include "app/texts/ui_language.h"
#include "config/config.h"
#include "service/service_status.h"

#include <memory>
#include <optional>
#include <string>

namespace Velto::Widget {
class Button;
class CheckBox;
class Label;
class ScrollViewer;
class Stack;
class Widget;
} // namespace Velto::Widget

namespace Velto::Widget::Controls {
class ComboBox;
class NumberBox;
class TextBox;
} // namespace Velto::Widget::Controls

namespace App {

// The settings page: port and start-up, internet access, HTTPS with its
// certificate, language and colours. It shows the configuration as it was
// when the page was built; only Apply hands a change to the service, which
// restarts a running server where the listening socket depends on it.
class SettingsPage final : public Page {
public:
    static constexpr float kLabelColumn = 130;
    static constexpr float kPortWidth = 120;
    static constexpr float kCertificateWidth = 380;
    static constexpr float kChoiceWidth = 240;
    static constexpr float kCheckHintIndent = 28;
    static constexpr float kApplyMinWidth = 120;

    explicit SettingsPage(PageContext& context);
    ~SettingsPage() override;

    // The certificate's fingerprint shows while the server runs with HTTPS.
    void Refresh(const Velto::Corvane::ServiceStatus& status) override {
        UpdateCertificateInfo(status);
    }
    void UpdateHttpsEnabled();
    void BrowsePfx();
    void Apply();
    void UpdateCertificateInfo(const Velto::Corvane::ServiceStatus& status);

    // What the certificate information shows: empty while it is hidden.
    const std::u16string& CertificateSignature() const { return m_certSignature; }
    Velto::Widget::Label* StatusLabel() const { return m_statusLabel; }

protected:
    // After Apply, and on the page built again after it: the page keeps its
    // scroll position and scrolls the least that shows Apply and the outcome.
    void ArrangeOverride(Velto::Widget::SizeF finalSize) override;

private:
    struct Form {
        Velto::Widget::Controls::NumberBox* port{nullptr};
        Velto::Widget::CheckBox* startOnLaunch{nullptr};
        Velto::Widget::CheckBox* runAtSignIn{nullptr};
        Velto::Widget::CheckBox* showHidden{nullptr};
        Velto::Widget::CheckBox* webdav{nullptr};
        Velto::Widget::CheckBox* upnp{nullptr};
        Velto::Widget::CheckBox* https{nullptr};
        Velto::Widget::Controls::ComboBox* certificate{nullptr};
        Velto::Widget::Controls::TextBox* pfxPath{nullptr};
        Velto::Widget::Button* browse{nullptr};
        Velto::Widget::Controls::TextBox* pfxPassword{nullptr};
        Velto::Widget::Controls::ComboBox* language{nullptr};
        Velto::Widget::Controls::ComboBox* theme{nullptr};
    };

    std::unique_ptr<Velto::Widget::Widget> Build();
    void Applied(const ConfigEditResult& result, const std::u16string& oldLanguage,
                 const std::u16string& oldTheme);
    void ShowStatus(const std::u16string& text, bool success);

    UiLanguage m_language{UiLanguage::Korean};
    Form m_form;
    Velto::Widget::Stack* m_certInfoHost{nullptr};
    Velto::Widget::Label* m_statusLabel{nullptr};
    Velto::Widget::ScrollViewer* m_scroller{nullptr};
    Velto::Widget::Widget* m_footer{nullptr};
    std::optional<float> m_restoreScrollY;
    bool m_revealFooter{false};
    std::u16string m_certSignature;
    bool m_applying{false};
};

} // namespace App
