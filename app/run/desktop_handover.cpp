#include "app/run/desktop_handover.h"

#include "app/run/program_files.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace App {
namespace {

constexpr int kHandOverFailed = 1;

} // namespace

int HandOverToDesktop(char** argv) {
    const std::string program = DesktopProgramPath();
    if (!program.empty())
        ::execv(program.c_str(), argv);
    const int error = program.empty() ? ENOENT : errno;
    std::fprintf(stderr,
                 "veltocorvane: cannot start the desktop program %s (%s); "
                 "veltocorvane --headless runs the server without a window\n"
                 "veltocorvane: 데스크톱 프로그램 %s을(를) 시작할 수 없습니다 (%s). "
                 "창 없이 서버를 실행하려면 veltocorvane --headless\n",
                 program.c_str(), std::strerror(error), program.c_str(), std::strerror(error));
    return kHandOverFailed;
}

} // namespace App
