#pragma once

#include "widget/dialogs/picker_request.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace Velto::Widget::Kit {

// What is wrong with a typed path, for the kind of item a picker asks for.
enum class TypedPathProblem {
    None,
    Empty,
    NotFound,
    NotAFolder, // a folder was asked for
    IsAFolder,  // a file was asked for
    NoAccess,
};

struct TypedPathCheck {
    TypedPathProblem problem{TypedPathProblem::None};
    // The absolute path the text stands for (UTF-8).
    std::string path;
};

// The absolute path a typed text stands for: "~" and "~/..." start in the
// home folder, a relative path in the request's starting folder (else the
// home folder). "." and ".." steps are resolved in the text.
std::string ResolveTypedPath(std::u16string_view typed, const PickRequest& request);

// Resolves the text and checks that it names an existing item of the kind
// the request asks for.
TypedPathCheck CheckTypedPath(std::u16string_view typed, const PickRequest& request);

// The texts of the typed-path dialog, in English or Korean (the languages of
// the program); `language` is a label-language index.
std::u16string TypedPathPrompt(const PickRequest& request, std::size_t language);
std::u16string TypedPathMessage(const TypedPathCheck& check, const PickRequest& request,
                                std::size_t language);

} // namespace Velto::Widget::Kit
