#include "app/desktop/tray/no_tray_notice.h"

namespace App {

std::u16string_view NoTrayNoticeText(UiLanguage language) {
    if (IsKorean(language))
        return u"서버가 켜져 있어서 창을 닫는 대신 최소화했습니다. 이 데스크톱에는 알림 영역 "
               u"아이콘이 보이지 않습니다. 종료하려면 창에서 서버를 끈 뒤 창을 닫거나, 터미널에서 "
               u"veltocorvane --quit 을 실행하세요.";
    return u"The server is on, so the window was minimized instead of closed: this desktop shows "
           u"no notification-area icons. To exit, turn the server off in the window and close it, "
           u"or run veltocorvane --quit in a terminal.";
}

} // namespace App
