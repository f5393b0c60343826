#include "app/desktop/settings/executable_path.h"

#include "app/run/program_files.h"

namespace App {

std::string ExecutablePath() {
    return CommandPath();
}

} // namespace App
