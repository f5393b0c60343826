#include "app/texts/text_table.h"

#include <array>
#include <string_view>

namespace App {
namespace {

struct TextEntry {
    TextId id;
    std::u16string_view korean;
    std::u16string_view english;
};

// "\n" is a line break inside a text.
constexpr std::array<TextEntry, kTextCount> kEntries{{
    {TextId::AppName, u"VeltoCorvane", u"VeltoCorvane"},
    {TextId::Accounts, u"계정", u"Accounts"},
    {TextId::AccessLog, u"접속 기록", u"Access log"},
    {TextId::Settings, u"설정", u"Settings"},
    {TextId::Back, u"뒤로", u"Back"},
    {TextId::Server, u"서버", u"Server"},
    {TextId::ServerOn, u"서버 켜짐", u"Server on"},
    {TextId::ServerOff, u"서버 꺼짐", u"Server off"},
    {TextId::ServerIsOff, u"서버가 꺼져 있습니다.", u"The server is off."},
    {TextId::ServerDidNotStart, u"서버를 켜지 못했습니다.", u"The server did not start."},
    {TextId::StartServer, u"서버 켜기", u"Start server"},
    {TextId::StopServer, u"서버 끄기", u"Stop server"},
    {TextId::PortInUse,
     u"다른 프로그램이 이미 {0}번 포트를 쓰고 있습니다. ‘설정’에서 포트를 바꾸세요.",
     u"Another program is already using port {0}. Change the port in Settings."},
    {TextId::PortNotAllowed,
     u"시스템이 {0}번 포트를 쓰지 못하게 막았습니다. ‘설정’에서 포트를 바꾸세요.",
     u"The system does not allow port {0}. Change the port in Settings."},
    {TextId::CertificateFailed,
     u"HTTPS 인증서를 준비하지 못했습니다(오류 0x{0}). ‘설정’에서 인증서를 확인하세요.",
     u"The HTTPS certificate could not be prepared (error 0x{0}). Check the certificate in "
     u"Settings."},
    {TextId::ErrorCode, u"오류 코드: 0x{0}", u"Error code: 0x{0}"},
    {TextId::Address, u"접속 주소", u"Address"},
    {TextId::ThisNetwork, u"같은 네트워크", u"This network"},
    {TextId::ThisNetworkAddress, u"같은 네트워크: {0}", u"This network: {0}"},
    {TextId::Internet, u"인터넷", u"Internet"},
    {TextId::WhereVisitorsConnectFrom, u"접속하는 곳", u"Where visitors connect from"},
    {TextId::NoNetworkAddress,
     u"이 PC의 네트워크 주소를 찾지 못했습니다. 네트워크 연결을 확인하세요.",
     u"This PC has no network address. Check the network connection."},
    {TextId::NoInternetAddress, u"인터넷 주소 없음", u"No internet address"},
    {TextId::Copy, u"복사", u"Copy"},
    {TextId::Copied, u"복사했습니다", u"Copied"},
    {TextId::OpenInBrowser, u"브라우저에서 열기", u"Open in browser"},
    {TextId::QrCode, u"QR 코드", u"QR code"},
    {TextId::ScanWithPhone, u"휴대폰 카메라로 찍어 이 주소를 여세요.",
     u"Scan with a phone camera to open this address."},
    {TextId::Close, u"닫기", u"Close"},
    {TextId::OpeningRouterPort, u"공유기에서 포트를 여는 중입니다.",
     u"Opening the port on the router."},
    {TextId::RouterForwardsPort, u"공유기가 {0}번 포트로 들어오는 접속을 이 PC로 보냅니다.",
     u"The router forwards connections on port {0} to this PC."},
    {TextId::RouterNoExternalAddress,
     u"공유기가 인터넷 주소를 알려 주지 않았습니다. 공유기 설정 화면에서 인터넷(WAN) 주소를 "
     u"확인하세요.",
     u"The router did not report its internet address. Look for the internet (WAN) address in the "
     u"router's settings."},
    {TextId::RouterPrivateAddress,
     u"공유기의 인터넷 주소가 사설 주소({0})입니다. 이 공유기가 다른 공유기 뒤에 있어서 "
     u"인터넷에서는 이 PC에 접속하지 못할 수 있습니다.",
     u"The router's internet address ({0}) is a private address. This router may be behind another "
     u"router, so the internet may not reach this PC."},
    {TextId::RouterSharedAddress,
     u"공유기의 인터넷 주소({0})는 인터넷 회사가 여러 가입자에게 함께 쓰게 하는 주소입니다. "
     u"인터넷에서는 이 PC에 접속하지 못할 수 있습니다. 필요하면 인터넷 회사에 공인 IP 주소를 "
     u"요청하세요.",
     u"The router's internet address ({0}) is one your internet provider shares among several "
     u"customers. The internet may not reach this PC. If you need it to, ask your provider for a "
     u"public IP address."},
    {TextId::PublicAddressOfPc,
     u"이 PC는 공인 IP 주소를 씁니다. 공유기 없이 인터넷에 바로 연결되어 있다면 인터넷에서도 이 "
     u"주소로 접속할 수 있습니다.",
     u"This PC has a public IP address. If it connects to the internet directly, without a router, "
     u"this address also works from the internet."},
    {TextId::NoUpnpRouter,
     u"UPnP로 응답하는 공유기를 찾지 못했습니다. 공유기 설정에서 UPnP가 꺼져 있을 수 있습니다.",
     u"No router answered over UPnP. UPnP may be turned off in the router's settings."},
    {TextId::RouterPortTaken,
     u"공유기가 {0}번 포트를 이미 다른 기기로 보내고 있습니다. ‘설정’에서 포트를 바꾸세요.",
     u"The router already forwards port {0} to another device. Change the port in Settings."},
    {TextId::RouterRefused, u"공유기가 포트 열기를 거절했습니다(UPnP 오류 {0}).",
     u"The router refused to open the port (UPnP error {0})."},
    {TextId::RouterCommunicationFailed, u"공유기와 통신하지 못했습니다.",
     u"Could not communicate with the router."},
    {TextId::UpnpSwitchedOff, u"‘설정’의 ‘UPnP로 공유기의 포트 열기’가 꺼져 있습니다.",
     u"“Open the port on the router with UPnP” is off in Settings."},
    {TextId::ManualForwardingRule,
     u"인터넷에서 접속하려면 공유기 설정 화면에서 포트포워딩 규칙을 추가하세요. 외부 포트 {0}, "
     u"내부 IP 주소 {1}, 내부 포트 {0}, 프로토콜 TCP.",
     u"To connect from the internet, add a port forwarding rule in the router's settings: external "
     u"port {0}, internal IP address {1}, internal port {0}, protocol TCP."},
    {TextId::ThenConnectToRouter, u"그다음 공유기의 인터넷 주소와 {0}번 포트로 접속합니다.",
     u"Then connect to the router's internet address on port {0}."},
    {TextId::CertificateFingerprint, u"HTTPS 인증서 지문(SHA-256)",
     u"HTTPS certificate fingerprint (SHA-256)"},
    {TextId::SelfSignedWarning,
     u"자체 서명 인증서라서 브라우저가 처음 접속할 때 경고합니다. 경고 화면에 나온 인증서 지문이 "
     u"위의 값과 같은지 확인한 뒤 계속하세요.",
     u"The certificate is self-signed, so browsers warn on the first visit. Check that the "
     u"fingerprint in the warning matches the one above before you continue."},
    {TextId::TrafficSummary, u"열린 연결 {0}개 · 보낸 데이터 {1} · 받은 데이터 {2}",
     u"Open connections: {0} · Sent: {1} · Received: {2}"},
    {TextId::SharedFoldersAndFiles, u"공유 중인 폴더와 파일", u"Shared folders and files"},
    {TextId::ShareFolder, u"폴더 공유", u"Share a folder"},
    {TextId::ShareFiles, u"파일 공유", u"Share files"},
    {TextId::NothingSharedYet, u"아직 공유한 폴더나 파일이 없습니다.", u"Nothing is shared yet."},
    {TextId::HowToShare,
     u"공유할 폴더나 파일을 이 창에 끌어다 놓거나 ‘폴더 공유’ 또는 ‘파일 공유’를 누르세요.",
     u"Drag folders or files onto this window, or click Share a folder or Share files."},
    {TextId::DragToShareHint, u"폴더나 파일을 이 창에 끌어다 놓아도 공유할 수 있습니다.",
     u"You can also drag folders and files onto this window to share them."},
    {TextId::NothingShareableDropped,
     u"끌어다 놓은 항목 중에 공유할 수 있는 폴더나 파일이 없습니다.",
     u"Nothing you dropped is a folder or file that can be shared."},
    {TextId::GuestsAccess, u"손님: {0}", u"Guests: {0}"},
    {TextId::ClosedToGuests, u"손님은 열 수 없음", u"Closed to guests"},
    {TextId::PasswordBadge, u"비밀번호", u"Password"},
    {TextId::CopyFolderAddress, u"이 폴더의 주소 복사", u"Copy this folder's address"},
    {TextId::CopyFileAddress, u"이 파일의 주소 복사", u"Copy this file's address"},
    {TextId::OpenFolder, u"폴더 열기", u"Open folder"},
    {TextId::OpenFileLocation, u"파일 위치 열기", u"Open file location"},
    {TextId::NameHeader, u"이름", u"Name"},
    {TextId::Add, u"추가", u"Add"},
    {TextId::Edit, u"편집", u"Edit"},
    {TextId::StopSharing, u"공유 중지", u"Stop sharing"},
    {TextId::ConfirmStopSharing, u"‘{0}’ 공유를 중지할까요? 이 PC의 폴더와 파일은 그대로 남습니다.",
     u"Stop sharing “{0}”? Nothing is deleted from this PC."},
    {TextId::AccessNone, u"없음", u"None"},
    {TextId::AccessRead, u"읽기", u"Read"},
    {TextId::AccessReadWrite, u"읽기, 쓰기", u"Read, write"},
    {TextId::AccessReadWriteDelete, u"읽기, 쓰기, 삭제", u"Read, write, delete"},
    {TextId::AccessReadDelete, u"읽기, 삭제", u"Read, delete"},
    {TextId::NameWithDetail, u"{0}({1})", u"{0} ({1})"},
    {TextId::NameReadOnly, u"{0}(읽기 전용)", u"{0} (read-only)"},
    {TextId::AddSharedFolder, u"공유 폴더 추가", u"Add shared folder"},
    {TextId::EditSharedFolder, u"공유 폴더 편집", u"Edit shared folder"},
    {TextId::AddSharedFile, u"공유 파일 추가", u"Add shared file"},
    {TextId::EditSharedFile, u"공유 파일 편집", u"Edit shared file"},
    {TextId::NameLabel, u"이름:", u"Name:"},
    {TextId::FolderLabel, u"폴더:", u"Folder:"},
    {TextId::FileLabel, u"파일:", u"File:"},
    {TextId::Browse, u"찾아보기...", u"Browse..."},
    {TextId::NameInAddressesHint, u"이름은 웹 주소에 들어갑니다.",
     u"The name appears in web addresses."},
    {TextId::SharedFileReadOnlyHint, u"공유한 파일은 웹에서 보거나 내려받을 수만 있습니다.",
     u"A shared file can only be viewed and downloaded on the web."},
    {TextId::ReadOnly, u"읽기 전용", u"Read-only"},
    {TextId::ReadOnlyHint,
     u"읽기 전용이면 아무도 파일을 올리거나 새 폴더를 만들거나 이름을 바꾸거나 삭제할 수 없습니다.",
     u"When read-only, nobody can upload files, make folders, rename or delete."},
    {TextId::GuestsCanLabel, u"손님 권한:", u"Guests can:"},
    {TextId::GuestsHint, u"손님은 로그인하지 않고 접속한 사람입니다.",
     u"Guests are visitors who have not signed in."},
    {TextId::GuestNotOpen, u"열 수 없음", u"Not open it"},
    {TextId::GuestRead, u"읽기", u"Read"},
    {TextId::GuestReadWrite, u"읽기, 쓰기", u"Read and write"},
    {TextId::GuestReadWriteDelete, u"읽기, 쓰기, 삭제", u"Read, write and delete"},
    {TextId::AskGuestsForPassword, u"손님에게 공유 비밀번호 묻기", u"Ask guests for a password"},
    {TextId::PasswordLabel, u"비밀번호:", u"Password:"},
    {TextId::LeaveEmptyToKeep, u"바꾸지 않으려면 비워 두세요", u"Leave empty to keep it"},
    {TextId::LargestUploadLabel, u"올리기 최대 크기:", u"Largest upload:"},
    {TextId::LargestUploadHint, u"파일 하나의 최대 크기입니다. 0이면 제한하지 않습니다.",
     u"The largest single file. 0 means no limit."},
    {TextId::ChooseFolderTitle, u"공유할 폴더 선택", u"Choose the folder to share"},
    {TextId::ChooseFilesTitle, u"공유할 파일 선택", u"Choose the files to share"},
    {TextId::AllFiles, u"모든 파일", u"All files"},
    {TextId::EnterName, u"이름을 입력하세요.", u"Enter a name."},
    {TextId::InvalidShareName,
     u"이름에는 / \\ : * ? \" < > | 문자를 쓸 수 없고, 맨 앞이나 맨 끝에 마침표를 둘 수 없습니다.",
     u"A name cannot contain / \\ : * ? \" < > |, or start or end with a period."},
    {TextId::NameInUse, u"같은 이름이 이미 있습니다.", u"This name is already in use."},
    {TextId::ChooseFolderError, u"공유할 폴더를 선택하세요.", u"Choose the folder to share."},
    {TextId::FolderNotFound, u"폴더를 찾을 수 없습니다.", u"The folder cannot be found."},
    {TextId::ChooseFileError, u"공유할 파일을 선택하세요.", u"Choose the file to share."},
    {TextId::FileNotFound, u"파일을 찾을 수 없습니다.", u"The file cannot be found."},
    {TextId::EnterPassword, u"비밀번호를 입력하세요.", u"Enter a password."},
    {TextId::Ok, u"확인", u"OK"},
    {TextId::Cancel, u"취소", u"Cancel"},
    {TextId::AccountPermissionsHint,
     u"계정으로 로그인한 사람은 계정에 준 권한과 손님 권한을 함께 받습니다.",
     u"People who sign in get their account's permissions as well as the guests' permissions."},
    {TextId::Permissions, u"권한", u"Permissions"},
    {TextId::Delete, u"삭제", u"Delete"},
    {TextId::NoAccounts, u"계정이 없습니다. 계정이 없으면 모두 손님으로 접속합니다.",
     u"There are no accounts. Without accounts, everyone visits as a guest."},
    {TextId::ConfirmDeleteAccount,
     u"‘{0}’ 계정을 삭제할까요? 이 계정으로 로그인한 사람은 바로 로그아웃됩니다.",
     u"Delete the account “{0}”? Anyone signed in with it is signed out at once."},
    {TextId::PermissionsNone, u"없음", u"None"},
    {TextId::AddAccount, u"계정 추가", u"Add account"},
    {TextId::EditAccount, u"계정 편집", u"Edit account"},
    {TextId::ConfirmPasswordLabel, u"비밀번호 확인:", u"Confirm password:"},
    {TextId::PermissionsPerItem, u"공유 항목별 권한", u"Permissions for each shared item"},
    {TextId::SharedItem, u"공유 항목", u"Shared item"},
    {TextId::PermissionRead, u"읽기", u"Read"},
    {TextId::PermissionWrite, u"쓰기", u"Write"},
    {TextId::PermissionRulesHint,
     u"쓰기나 삭제를 주면 읽기도 함께 줍니다.\n읽기 전용 공유 폴더와 공유한 파일에서는 읽기만 할 "
     u"수 있습니다.",
     u"Write and delete include read.\nIn read-only shared folders and in shared files, only read "
     u"applies."},
    {TextId::ShareSomethingFirst, u"권한을 주려면 먼저 폴더나 파일을 공유하세요.",
     u"To give permissions, share a folder or a file first."},
    {TextId::NameNoColon, u"이름에는 콜론(:)을 쓸 수 없습니다.",
     u"A name cannot contain a colon (:)."},
    {TextId::AccountExists, u"같은 이름의 계정이 이미 있습니다.",
     u"An account with this name already exists."},
    {TextId::PasswordsDiffer, u"두 비밀번호가 다릅니다.", u"The passwords do not match."},
    {TextId::ClearListHint,
     u"‘목록 지우기’는 이 화면의 목록만 지웁니다. 기록 파일은 30일 동안 보관합니다.",
     u"Clear list empties the list on this screen only. Log files are kept for 30 days."},
    {TextId::LogTime, u"시각", u"Time"},
    {TextId::LogIpAddress, u"IP 주소", u"IP address"},
    {TextId::LogUser, u"사용자", u"User"},
    {TextId::LogAction, u"동작", u"Action"},
    {TextId::LogPath, u"경로", u"Path"},
    {TextId::LogResult, u"결과", u"Result"},
    {TextId::LogSize, u"크기", u"Size"},
    {TextId::ClearList, u"목록 지우기", u"Clear list"},
    {TextId::OpenLogFolder, u"기록 폴더 열기", u"Open log folder"},
    {TextId::NothingLoggedYet, u"아직 기록이 없습니다.", u"Nothing has been logged yet."},
    {TextId::LogGuest, u"손님", u"Guest"},
    {TextId::LogDone, u"성공", u"Done"},
    {TextId::LogFailed, u"실패({0})", u"Failed ({0})"},
    {TextId::ActionSignIn, u"로그인", u"Sign-in"},
    {TextId::ActionFailedSignIn, u"로그인 실패", u"Failed sign-in"},
    {TextId::ActionWrongSharePassword, u"공유 비밀번호 틀림", u"Wrong share password"},
    {TextId::ActionDownload, u"내려받기", u"Download"},
    {TextId::ActionUpload, u"올리기", u"Upload"},
    {TextId::ActionNewFolder, u"새 폴더", u"New folder"},
    {TextId::ActionRename, u"이름 바꾸기", u"Rename"},
    {TextId::ActionDelete, u"삭제", u"Delete"},
    {TextId::ActionZipDownload, u"ZIP으로 내려받기", u"Download as ZIP"},
    {TextId::ServerSection, u"서버", u"Server"},
    {TextId::PortLabel, u"포트:", u"Port:"},
    {TextId::PortChangeRestartsHint, u"서버가 켜져 있을 때 포트를 바꾸면 서버를 다시 켭니다.",
     u"Changing the port while the server is on restarts the server."},
    {TextId::StartServerOnLaunch, u"프로그램을 실행할 때 서버 켜기",
     u"Start the server when the program starts"},
    {TextId::RunAtSignIn, u"로그인할 때 실행", u"Run when I sign in"},
    {TextId::ShowHiddenFiles, u"숨김 파일도 보이기", u"Show hidden files too"},
    {TextId::InternetAccessSection, u"인터넷 접속", u"Internet access"},
    {TextId::UpnpSwitch, u"UPnP로 공유기의 포트 열기", u"Open the port on the router with UPnP"},
    {TextId::UpnpHint,
     u"공유기가 UPnP를 지원하면 인터넷에서 접속할 수 있도록 포트를 자동으로 엽니다.",
     u"If the router supports UPnP, the port is opened automatically so the internet can reach "
     u"this PC."},
    {TextId::HttpsSection, u"HTTPS", u"HTTPS"},
    {TextId::UseHttps, u"HTTPS 사용", u"Use HTTPS"},
    {TextId::CertificateLabel, u"인증서:", u"Certificate:"},
    {TextId::SelfSignedCertificate, u"자체 서명 인증서(자동으로 만듦)",
     u"Self-signed certificate (made automatically)"},
    {TextId::PfxFile, u"PFX 파일", u"PFX file"},
    {TextId::PfxFileLabel, u"PFX 파일:", u"PFX file:"},
    {TextId::PfxPasswordLabel, u"PFX 비밀번호:", u"PFX password:"},
    {TextId::HttpsHint,
     u"HTTPS를 켜면 주소가 https://로 시작하고, 주고받는 데이터를 암호화합니다. 자체 서명 인증서는 "
     u"브라우저가 처음 접속할 때 경고합니다.",
     u"With HTTPS on, addresses start with https:// and the data is encrypted. Browsers warn about "
     u"a self-signed certificate on the first visit."},
    {TextId::ChoosePfxTitle, u"PFX 파일 선택", u"Choose a PFX file"},
    {TextId::CertificateFilesFilter, u"인증서 파일(*.pfx, *.p12)",
     u"Certificate files (*.pfx, *.p12)"},
    {TextId::ChoosePfxError, u"PFX 파일을 선택하세요.", u"Choose a PFX file."},
    {TextId::DisplaySection, u"화면", u"Display"},
    {TextId::LanguageLabel, u"언어:", u"Language:"},
    {TextId::SameAsSystem, u"시스템과 같게", u"Same as the system"},
    {TextId::ColorsLabel, u"색:", u"Colors:"},
    {TextId::Light, u"밝게", u"Light"},
    {TextId::Dark, u"어둡게", u"Dark"},
    {TextId::Apply, u"적용", u"Apply"},
    {TextId::SettingsSaved, u"설정을 저장했습니다.", u"Settings saved."},
    {TextId::SettingsNotSaved,
     u"설정 파일을 저장하지 못했습니다. 바꾼 설정은 프로그램을 종료할 때까지만 쓰입니다.",
     u"The settings file could not be saved. The new settings last only until you exit the "
     u"program."},
    {TextId::RunAtSignInFailed, u"로그인 때 실행하도록 설정하지 못했습니다.",
     u"Could not set the program to run when you sign in."},
    {TextId::TrayServerOn, u"VeltoCorvane: 서버 켜짐", u"VeltoCorvane: server on"},
    {TextId::TrayServerOff, u"VeltoCorvane: 서버 꺼짐", u"VeltoCorvane: server off"},
    {TextId::TrayOpen, u"열기", u"Open"},
    {TextId::TrayCopyAddress, u"주소 복사", u"Copy address"},
    {TextId::TrayExit, u"종료", u"Exit"},
    {TextId::StillRunningTitle, u"VeltoCorvane가 계속 실행됩니다",
     u"VeltoCorvane is still running"},
    {TextId::StillRunningMessage,
     u"서버가 켜져 있어서 창을 닫아도 알림 영역에서 계속 실행됩니다. 종료하려면 알림 영역의 "
     u"아이콘을 마우스 오른쪽 단추로 클릭하고 ‘종료’를 선택하세요.",
     u"The server is on, so the program keeps running in the notification area. To exit, "
     u"right-click its icon there and choose Exit."},
    {TextId::SettingsNotRead,
     u"설정 파일을 읽지 못해 기본 설정으로 시작합니다. 설정을 바꾸기 전까지 설정 파일은 그대로 "
     u"둡니다.\n{0}",
     u"The settings file could not be read, so the program starts with the default settings. The "
     u"file is left as it is until you change a setting.\n{0}"},
    {TextId::CannotDraw, u"이 PC에서는 화면을 그릴 수 없습니다.",
     u"This PC cannot draw the program's window."},
    {TextId::DavAddressLabel, u"파일 관리자", u"File manager"},
    {TextId::DavHint, u"파일 관리자에서 이 주소로 공유를 드라이브처럼 엽니다 (WebDAV).",
     u"Open the shares as a drive in your file manager with this address (WebDAV)."},
    {TextId::DavPlainHttp, u"HTTP에서는 암호가 읽을 수 있는 형태로 전송됩니다.",
     u"Over HTTP, the password is sent readably."},
    {TextId::DavSetting, u"파일 관리자에서 드라이브로 열기 허용 (WebDAV)",
     u"Let file managers open the shares as a drive (WebDAV)"},
    {TextId::Links, u"링크", u"Links"},
    {TextId::NewLink, u"새 링크", u"New link"},
    {TextId::MakeLink, u"링크 만들기", u"Make a link"},
    {TextId::LinkShareLabel, u"공유 항목:", u"Share:"},
    {TextId::LinkTargetLabel, u"링크 대상:", u"Link to:"},
    {TextId::LinkWholeShare, u"공유 전체", u"The whole share"},
    {TextId::LinkTargetHint,
     u"비워 두면 공유 전체로 가는 링크입니다. 그 안의 폴더나 파일을 고를 수도 있습니다.",
     u"Leave empty to link the whole share, or pick a folder or file inside it."},
    {TextId::PickFolder, u"폴더…", u"Folder…"},
    {TextId::PickFile, u"파일…", u"File…"},
    {TextId::LinkModeLabel, u"방문자 권한:", u"Visitors can:"},
    {TextId::LinkModeView, u"보기와 내려받기", u"View and download"},
    {TextId::LinkModeUpload, u"올리기만 (폴더 내용은 보이지 않음)",
     u"Upload only (the folder's contents stay hidden)"},
    {TextId::LinkUploadReadOnly, u"읽기 전용 공유에는 올리기 링크를 만들 수 없습니다.",
     u"A read-only share takes no upload links."},
    {TextId::LinkExpiryLabel, u"만료:", u"Expires:"},
    {TextId::ExpiryHour, u"1시간 후", u"In an hour"},
    {TextId::ExpiryDay, u"1일 후", u"In a day"},
    {TextId::ExpiryWeek, u"1주일 후", u"In a week"},
    {TextId::ExpiryMonth, u"1개월 후", u"In a month"},
    {TextId::ExpiryNever, u"만료 없음", u"Never"},
    {TextId::AskVisitorsForPassword, u"방문자에게 비밀번호 묻기", u"Ask visitors for a password"},
    {TextId::LinkLabelLabel, u"메모:", u"Label:"},
    {TextId::LinkLabelHint, u"누구에게 준 링크인지 적어 두면 링크 목록에서 알아보기 쉽습니다.",
     u"Whom the link is for, so that you know it again in the list of links."},
    {TextId::LinkTargetOutside, u"링크 대상은 공유한 폴더 안에 있어야 합니다.",
     u"The item must lie inside the shared folder."},
    {TextId::LinkTargetMissing, u"공유한 폴더에 그런 폴더나 파일이 없습니다.",
     u"The shared folder has no such folder or file."},
    {TextId::LinkUploadNeedsFolder, u"올리기 링크는 폴더에만 만들 수 있습니다.",
     u"Upload-only links need a folder."},
    {TextId::LinkLabelTooLong, u"메모는 100자까지 쓸 수 있습니다.",
     u"The label can have at most 100 characters."},
    {TextId::LinkReady, u"링크를 만들었습니다. 주소를 복사해 보내거나 QR 코드를 보여 주세요.",
     u"The link is ready. Copy its address and send it, or show the QR code."},
    {TextId::LinkAddressWhenServerOn,
     u"서버가 꺼져 있어 주소가 아직 없습니다. 서버를 켠 뒤 ‘링크’ 화면에서 복사하세요.",
     u"The server is off, so the link has no address yet. Start the server, then copy it on the "
     u"Links page."},
    {TextId::LinksHint,
     u"계정 없이 폴더나 파일 하나를 열 수 있는 링크입니다. 홈 화면에서 공유 옆의 링크 단추로 "
     u"만듭니다.",
     u"Links open one folder or file to people without an account. Make one with the link button "
     u"beside a share on the home page."},
    {TextId::NoLinks, u"아직 링크가 없습니다.", u"No links yet."},
    {TextId::LinkLabelHeader, u"메모", u"Label"},
    {TextId::LinkTargetHeader, u"대상", u"Target"},
    {TextId::LinkModeHeader, u"권한", u"Mode"},
    {TextId::LinkExpiresHeader, u"만료", u"Expires"},
    {TextId::LinkUsesHeader, u"사용", u"Uses"},
    {TextId::LinkViewShort, u"보기", u"View"},
    {TextId::LinkUploadShort, u"올리기만", u"Upload only"},
    {TextId::ExpiredOn, u"만료됨 ({0})", u"Expired ({0})"},
    {TextId::Revoke, u"링크 끊기", u"Revoke"},
    {TextId::ConfirmRevokeLink, u"‘{0}’ 링크를 끊을까요? 이 주소는 바로 쓸 수 없게 됩니다.",
     u"Revoke the link “{0}”? Its address stops working at once."},
    {TextId::ChooseLinkFolderTitle, u"링크할 폴더 선택", u"Choose the folder to link"},
    {TextId::ChooseLinkFileTitle, u"링크할 파일 선택", u"Choose the file to link"},
    {TextId::LinkDialogTitle, u"‘{0}’ 링크", u"Link “{0}”"},
    {TextId::ConfirmStopSharingWithLinks,
     u"‘{0}’ 공유를 중지할까요? 이 PC의 폴더와 파일은 그대로 남고, 이 공유로 가는 링크 {1}개는 "
     u"없어집니다.",
     u"Stop sharing “{0}”? Nothing is deleted from this PC; the share's links ({1}) stop working."},
}};

constexpr bool InIdOrder(const std::array<TextEntry, kTextCount>& entries) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (static_cast<std::size_t>(entries[i].id) != i)
            return false;
    }
    return true;
}
static_assert(InIdOrder(kEntries), "every text sits at the index of its id");

// Korean at 2 * id, English at 2 * id + 1. Built once, on the first lookup
// (the local static's initialisation is thread-safe); read-only afterwards.
using TextStrings = std::array<std::u16string, 2 * kTextCount>;

TextStrings BuildStrings() {
    TextStrings strings;
    for (std::size_t i = 0; i < kEntries.size(); ++i) {
        strings[2 * i] = std::u16string(kEntries[i].korean);
        strings[2 * i + 1] = std::u16string(kEntries[i].english);
    }
    return strings;
}

const TextStrings& Strings() {
    static const TextStrings strings = BuildStrings();
    return strings;
}

} // namespace

const std::u16string& Text(TextId id, UiLanguage language) {
    static const std::u16string empty;
    const auto index = static_cast<std::size_t>(id);
    if (index >= kTextCount)
        return empty;
    return Strings()[2 * index + (IsKorean(language) ? 0 : 1)];
}

} // namespace App
