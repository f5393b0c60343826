#pragma once

#include "widget/window/window.h"

#include <concepts>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace Velto::Widget {

class Stack;

// What a dialog needs from a button: a widget that runs a callback when
// pressed, and that can be pressed from code (Enter and Escape). The
// controls' Button is one; AddButton takes any such widget.
template <typename T>
concept DialogButtonWidget = std::derived_from<T, Widget> && requires(T& button) {
    button.SetOnClick(std::function<void()>{});
    button.Click();
};

// A modal dialog: a vertical root stack (spacing 14, margins 24, 20, 24, 20)
// holding the caller's content stack and the row of buttons at its end.
// ShowModal creates the window over its owner, disables the owner, runs a
// nested loop until EndDialog and returns the result; closing the window
// (close box, Escape without a cancel button) gives 2.
class Dialog : public Window {
public:
    explicit Dialog(float width);
    ~Dialog() override;

    float DialogWidth() const { return m_width; }
    // The caller's widgets go here.
    Stack& Content() const { return *m_content; }
    Stack& ButtonRow() const { return *m_buttons; }

    // Adds a button to the row with the dialog's minimum button width. A
    // result other than 0 ends the dialog when the button is pressed (0: the
    // caller's click handler decides). Enter presses the default button,
    // Escape the cancel button.
    template <DialogButtonWidget T>
    T* AddButton(std::unique_ptr<T> button, std::int32_t result, bool isDefault, bool isCancel) {
        T* raw = button.get();
        if (result != 0)
            raw->SetOnClick([this, result] { EndDialog(result); });
        if constexpr (requires { raw->SetDefault(true); }) {
            if (isDefault)
                raw->SetDefault(true);
        }
        AddButtonWidget(
            std::move(button), [raw] { raw->Click(); }, isDefault, isCancel);
        return raw;
    }

    // The widget that takes the focus when the dialog opens (none: the
    // first tab stop).
    void SetInitialFocus(Widget* widget) { m_initialFocus = widget; }

    // Shows the dialog over the owner (none: centred on the work area) and
    // returns the result it ended with; 2 when the window could not be made.
    std::int32_t ShowModal(Window* owner, std::u16string_view title);
    // Ends the modal run with the result (once; later calls do nothing).
    void EndDialog(std::int32_t result);
    bool IsRunningModally() const { return m_runningModally; }
    bool EnterPressesDefault() const override;
    std::int32_t Result() const { return m_result; }

    static constexpr std::int32_t kClosedResult = 2;
    static constexpr float kRootSpacing = 14;
    static constexpr float kContentSpacing = 10;
    static constexpr float kButtonSpacing = 8;
    static constexpr float kMinButtonWidth = 92;
    static constexpr Thickness kMargin{24, 20, 24, 20};
    static constexpr float kInitialHeight = 100;

protected:
    bool OnUnhandledKey(const KeyEvent& event) override;
    bool OnCloseRequest() override;
    // While it runs, the window's height follows the content (a message
    // that appears under a field pushes the buttons down, not out).
    void OnBeforeFrame() override;

private:
    struct ButtonEntry {
        Widget* widget{nullptr};
        std::function<void()> press;
    };

    void AddButtonWidget(std::unique_ptr<Widget> button, std::function<void()> press,
                         bool isDefault, bool isCancel);
    bool Press(const ButtonEntry& button) const;
    // Sizes the window to the content at the dialog width and places it.
    void FitAndPlace(Window* owner);
    // The root's height at the dialog width.
    float ContentHeight();

    float m_width{0};
    Stack* m_content{nullptr};
    Stack* m_buttons{nullptr};
    ButtonEntry m_default;
    ButtonEntry m_cancel;
    Widget* m_initialFocus{nullptr};
    Window* m_modalOwner{nullptr};
    bool m_runningModally{false};
    bool m_ending{false};
    std::int32_t m_result{kClosedResult};
};

} // namespace Velto::Widget
