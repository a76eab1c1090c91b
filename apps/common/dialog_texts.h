// What a language file changes in a created dialog: the caption and the texts of its buttons
// and statics. Computed here from the dialog's children as the window part reports them; the
// window part (win32/) only sets the texts.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cv50::apps {

inline constexpr std::string_view kCaptionVersion = " v2.22";

// One child window of the dialog, in the order the window part enumerated them.
struct DialogChild {
    int id = -1;
    std::u16string className;
};

template <class Text>
struct BasicDialogTexts {
    struct ChildText {
        std::size_t child;  // index into the children passed in
        Text text;
    };
    std::optional<Text> caption;  // none: the built-in caption stays
    std::vector<ChildText> children;
};
using DialogTexts = BasicDialogTexts<std::string>;
using DialogTextsW = BasicDialogTexts<std::u16string>;

// From [String] of `file`: the caption "IDD<d>_TITLE" + " v2.22" when that text is not empty,
// and for every child of class Button or Static (any case) whose id is not -1 the text
// "IDD<d>_<id>" when it is not empty. Nothing when `file` is empty.
DialogTexts dialogTexts(const std::string& file, int dialogId,
                        const std::vector<DialogChild>& children);
DialogTextsW dialogTexts(const std::u16string& file, int dialogId,
                         const std::vector<DialogChild>& children);

}  // namespace cv50::apps
