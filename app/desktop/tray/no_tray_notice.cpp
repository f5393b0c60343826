#include "app/desktop/tray/no_tray_notice.h"

namespace App {

std::u16string_view NoTrayNoticeText(UiLanguage language, NoTrayWindow window) {
    const bool korean = IsKorean(language);
    if (window == NoTrayWindow::Minimized) {
        if (korean)
            return u"서버가 켜져 있어서 창을 닫는 대신 최소화했습니다. 이 데스크톱에는 알림 영역 "
                   u"아이콘이 보이지 않습니다. 창을 다시 열려면 작업 표시줄에서 VeltoCorvane를 "
                   u"클릭하세요. 종료하려면 창에서 서버를 끈 뒤 창을 닫거나, 터미널에서 "
                   u"veltocorvane --quit 을 실행하세요.";
        return u"The server is on, so the window was minimized instead of closed: this desktop "
               u"shows no notification-area icons. To get it back, click VeltoCorvane in the "
               u"task bar. To exit, turn the server off in the window and close it, or run "
               u"veltocorvane --quit in a terminal.";
    }
    if (korean)
        return u"서버가 켜져 있어서 창이 열린 채로 있습니다. 이 데스크톱에는 알림 영역 아이콘도, "
               u"최소화한 창을 다시 열 작업 표시줄도 없습니다. 종료하려면 서버를 끈 뒤 창을 "
               u"닫거나, 터미널에서 veltocorvane --quit 을 실행하세요.";
    return u"The server is on, so the window stays open: this desktop has no notification-area "
           u"icons and no task bar to bring a minimized window back. To exit, turn the server "
           u"off and close the window, or run veltocorvane --quit in a terminal.";
}

} // namespace App
