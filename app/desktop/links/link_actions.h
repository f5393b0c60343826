#pragma once

#include <string>

namespace App {

struct PageContext;

// Opens the new-link dialog for the share and keeps the link made in it: the
// change goes to the service as the window's other edits do, and the dialog
// shows the link's address under the address the home page shows.
void MakeShareLink(PageContext& context, const std::string& shareId);

} // namespace App
